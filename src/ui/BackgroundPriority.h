#pragma once

namespace pellora {

// Gives the calling worker thread a lower scheduling priority (a higher nice
// value, Linux threads have their own) so that on a busy machine the thread
// that runs the event loop is served first and the window stays responsive.
// Failure is harmless and ignored.
void lowerCurrentThreadPriority();

} // namespace pellora
