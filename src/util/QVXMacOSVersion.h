#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace pellora {

// Which release of the operating system is running, as a packed number
// 0xMMmb: two decimal digits for the major release, one for the minor and one
// for the maintenance release, each written as a hexadecimal digit (10.4.9 is
// 0x1049). Here the release is the running kernel's: 6.1.0 gives 0x0610.
class QVXMacOSVersion {
public:
    using Query = std::function<std::int32_t()>;

    // The packed number of the running release, 0 when it cannot be read.
    static std::int32_t systemVersionNumber();

    // True when the running release is 10.0, 10.1, ... 10.6. Each reads the
    // number for its lower bound and again for its upper bound.
    static bool isRelease10_0();
    static bool isRelease10_1();
    static bool isRelease10_2();
    static bool isRelease10_3();
    static bool isRelease10_4();
    static bool isRelease10_5();
    static bool isRelease10_6();

    // Replaces the query behind systemVersionNumber (tests use fixed numbers);
    // an empty query restores the kernel's.
    static void setVersionQuery(Query query);

    // Packs a kernel release string such as "6.1.0-18-amd64": missing fields
    // count as 0, a minor or maintenance release over 9 counts as 9 and a
    // major release over 99 as 99. 0 when the text does not start with a number.
    static std::int32_t packedVersionFromRelease(std::string_view release);
};

} // namespace pellora
