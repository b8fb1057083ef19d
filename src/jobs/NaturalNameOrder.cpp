#include "jobs/NaturalNameOrder.h"

namespace pellora {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The digit run starting at index, less its leading zeros; index moves past it.
std::string_view significantDigits(std::string_view text, std::size_t& index) {
    while (index < text.size() && text[index] == '0') ++index;
    const std::size_t start = index;
    while (index < text.size() && isDigit(text[index])) ++index;
    return text.substr(start, index - start);
}

// <0, 0 or >0 as a comes before, ties with or comes after b, digit runs by value.
int compareByValue(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::string_view left = significantDigits(a, i);
            const std::string_view right = significantDigits(b, j);
            // Without leading zeros, the longer run is the larger number.
            if (left.size() != right.size()) return left.size() < right.size() ? -1 : 1;
            if (const int order = left.compare(right); order != 0) return order;
            continue;
        }
        const auto left = static_cast<unsigned char>(a[i]);
        const auto right = static_cast<unsigned char>(b[j]);
        if (left != right) return left < right ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

} // namespace

bool naturalNameLess(std::string_view a, std::string_view b) {
    if (const int order = compareByValue(a, b); order != 0) return order < 0;
    return a < b;  // std::string_view compares as unsigned bytes (char_traits<char>)
}

} // namespace pellora
