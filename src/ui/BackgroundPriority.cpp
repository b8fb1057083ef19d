#include "ui/BackgroundPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace pellora {

void lowerCurrentThreadPriority() {
    constexpr int backgroundNice = 10;
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    if (::getpriority(PRIO_PROCESS, thread) < backgroundNice) {
        ::setpriority(PRIO_PROCESS, thread, backgroundNice);
    }
}

} // namespace pellora
