#include "platform/foundation/AllocatorTuning.h"

#include <cstdlib>  // defines __GLIBC__ on glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace pellora {

void keepLargeBuffersForReuse() {
#if defined(__GLIBC__)
    // 32 MiB is the largest threshold glibc accepts: a 3000 x 2000 RGBA image
    // fits under it. Freed memory is trimmed only beyond twice that.
    constexpr int kLargestReusedBuffer = 32 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, kLargestReusedBuffer);
    mallopt(M_TRIM_THRESHOLD, 2 * kLargestReusedBuffer);
#endif
}

} // namespace pellora
