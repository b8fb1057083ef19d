#include "jobs/BatchController.h"

namespace pellora {

BatchController::BatchController(MainThreadDispatcher& mainThread, WindowStateSink& window,
                                 RecentDocumentsNoter* recentDocuments)
    : _mainThread(mainThread), _window(window), _recentDocuments(recentDocuments) {}

BatchController::~BatchController() { waitUntilIdle(); }

void BatchController::waitUntilIdle() { _threads.joinAll(); }

} // namespace pellora
