// pellora-batch: the terminal front end. Imports the given files and folders
// and exports them with the settings of the desktop application.
#include <string>
#include <vector>

#include "cli/BatchRun.h"
#include "platform/foundation/AllocatorTuning.h"

int main(int argc, char** argv) {
    pellora::keepLargeBuffersForReuse();
    return pellora::cli::runBatch(std::vector<std::string>(argv + 1, argv + argc));
}
