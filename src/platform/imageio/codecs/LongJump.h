#pragma once

#include <csetjmp>

namespace pellora {

// libjpeg and libpng report fatal errors through a callback that must not
// return; ours longjmp back here. body runs in this frame so the jump target
// stays valid while it runs. Rules for body: it may only hold trivially
// destructible locals (a jump skips destructors), and it keeps everything that
// must be freed in objects owned by the caller. Returns what body returns, or
// false after a jump.
template <class Body>
bool runGuarded(std::jmp_buf& jump, Body&& body) {
    if (setjmp(jump) != 0) return false;
    return body();
}

} // namespace pellora
