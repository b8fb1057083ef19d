#pragma once

#include <string>
#include <vector>

#include "platform/foundation/PlistValue.h"
#include "util/IndexSet.h"

// List operations over arrays of property-list values, in which string values
// are the string elements and every other value is a non-string element.
// Searches are linear with exact, case-sensitive comparison; order is kept.
namespace pellora {

// Elements at the indexes, in ascending order. Every index must be below the count.
template <typename T>
std::vector<T> objectsAtIndexes(const std::vector<T>& array, const IndexSet& indexes) {
    std::vector<T> result;
    std::size_t cursor = 0;
    for (std::size_t n = 0; n < indexes.count(); ++n) {
        const std::size_t index = indexes.indexGreaterThanOrEqualToIndex(cursor);
        result.push_back(array[index]);
        cursor = index + 1;
    }
    return result;
}

// Removes the elements at the indexes, highest first, so that every index names
// the element it named before the call. Every index must be below the count.
template <typename T>
void removeObjectsAtIndexes(std::vector<T>& array, const IndexSet& indexes) {
    std::size_t cursor = indexes.lastIndex();
    for (std::size_t n = 0; n < indexes.count(); ++n) {
        const std::size_t index = indexes.indexLessThanOrEqualToIndex(cursor);
        array.erase(array.begin() + static_cast<std::ptrdiff_t>(index));
        cursor = index - 1;
    }
}

// Elements joined by "\n" / ", ", each between double quotes when quoted is set.
std::string verticalListFromStringArrayWithQuotes(const PlistArray& array, bool quoted);
std::string horizontalListFromStringArrayWithQuotes(const PlistArray& array, bool quoted);

// The lines of text up to the first empty one.
PlistArray arrayByParsingVerticalList(const std::string& text);
// The lines after the first (header) line, up to the first empty one.
PlistArray arrayByParsingVerticalListAfterHeader(const std::string& text);

// The receiver less every string element equal to a string element of strings.
PlistArray arrayByRemovingStringsFromArray(const PlistArray& receiver, const PlistArray& strings);

// The receiver followed by each string of strings not yet present. When nothing
// is added, the result is the receiver itself (the same shared array).
PlistValue arrayByAddingStringsFromArrayWithoutDuplicates(const PlistValue& receiver, const PlistArray& strings);

// True when a string element equals text.
bool containsString(const PlistArray& array, const std::string& text);

} // namespace pellora
