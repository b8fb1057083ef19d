#include "util/QVXMacOSVersion.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <sys/utsname.h>

namespace pellora {
namespace {

std::mutex& queryMutex() {
    static std::mutex mutex;
    return mutex;
}

QVXMacOSVersion::Query& replacementQuery() {
    static QVXMacOSVersion::Query query;
    return query;
}

std::int32_t kernelVersionNumber() {
    utsname names{};
    if (::uname(&names) != 0) return 0;
    return QVXMacOSVersion::packedVersionFromRelease(names.release);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the decimal number at the front of text, capped at `cap`, and drops it
// from text. nullopt when text does not start with a digit.
std::optional<int> takeNumber(std::string_view& text, int cap) {
    if (text.empty() || !isDigit(text.front())) return std::nullopt;
    int value = 0;
    while (!text.empty() && isDigit(text.front())) {
        value = std::min(value * 10 + (text.front() - '0'), cap);
        text.remove_prefix(1);
    }
    return value;
}

// Takes ".N" from the front of text; 0 when there is no such field.
int takeField(std::string_view& text) {
    if (text.size() < 2 || text.front() != '.' || !isDigit(text[1])) return 0;
    text.remove_prefix(1);
    return takeNumber(text, 9).value_or(0);
}

// Reads the number for the lower bound, and only when it is reached, again for the upper bound.
bool isWithin(std::int32_t lower, std::int32_t upper) {
    if (QVXMacOSVersion::systemVersionNumber() < lower) return false;
    return QVXMacOSVersion::systemVersionNumber() <= upper;
}

} // namespace

std::int32_t QVXMacOSVersion::systemVersionNumber() {
    Query query;
    {
        std::lock_guard lock(queryMutex());
        query = replacementQuery();
    }
    return query ? query() : kernelVersionNumber();
}

void QVXMacOSVersion::setVersionQuery(Query query) {
    std::lock_guard lock(queryMutex());
    replacementQuery() = std::move(query);
}

std::int32_t QVXMacOSVersion::packedVersionFromRelease(std::string_view release) {
    const std::optional<int> major = takeNumber(release, 99);
    if (!major) return 0;
    const int minor = takeField(release);
    const int maintenance = takeField(release);
    return (*major / 10) << 12 | (*major % 10) << 8 | minor << 4 | maintenance;
}

bool QVXMacOSVersion::isRelease10_0() { return isWithin(0x1000, 0x100F); }
bool QVXMacOSVersion::isRelease10_1() { return isWithin(0x1010, 0x101F); }
bool QVXMacOSVersion::isRelease10_2() { return isWithin(0x1020, 0x102F); }
bool QVXMacOSVersion::isRelease10_3() { return isWithin(0x1030, 0x103F); }
bool QVXMacOSVersion::isRelease10_4() { return isWithin(0x1040, 0x104F); }
bool QVXMacOSVersion::isRelease10_5() { return isWithin(0x1050, 0x105F); }
bool QVXMacOSVersion::isRelease10_6() { return isWithin(0x1060, 0x106F); }

} // namespace pellora
