#include "util/QVXArrayExtentions.h"

namespace pellora {
namespace {

std::string joinedList(const PlistArray& array, bool quoted, const char* separator) {
    std::string result;
    for (std::size_t i = 0; i < array.size(); ++i) {
        std::string element = array[i].description();
        if (quoted) element = "\"" + element + "\"";
        if (i != array.size() - 1) element += separator;
        result += element;
    }
    return result;
}

std::vector<std::string> componentsSeparatedByNewline(const std::string& text) {
    std::vector<std::string> components;
    std::size_t start = 0;
    for (;;) {
        const auto newline = text.find('\n', start);
        if (newline == std::string::npos) {
            components.push_back(text.substr(start));
            return components;
        }
        components.push_back(text.substr(start, newline - start));
        start = newline + 1;
    }
}

bool containsEqualString(const PlistArray& array, const std::string& text) {
    for (const PlistValue& element : array) {
        if (element.isString() && element.stringValue() == text) return true;
    }
    return false;
}

} // namespace

std::string verticalListFromStringArrayWithQuotes(const PlistArray& array, bool quoted) {
    return joinedList(array, quoted, "\n");
}

std::string horizontalListFromStringArrayWithQuotes(const PlistArray& array, bool quoted) {
    return joinedList(array, quoted, ", ");
}

PlistArray arrayByParsingVerticalList(const std::string& text) {
    PlistArray lines;
    for (std::string& line : componentsSeparatedByNewline(text)) {
        if (line.empty()) break;
        lines.emplace_back(std::move(line));
    }
    return lines;
}

PlistArray arrayByParsingVerticalListAfterHeader(const std::string& text) {
    const std::vector<std::string> components = componentsSeparatedByNewline(text);
    std::string body;
    for (std::size_t i = 1; i < components.size(); ++i) body += components[i] + "\n";
    return arrayByParsingVerticalList(body);
}

PlistArray arrayByRemovingStringsFromArray(const PlistArray& receiver, const PlistArray& strings) {
    PlistArray result;
    for (const PlistValue& element : receiver) {
        if (element.isString() && containsEqualString(strings, element.stringValue())) continue;
        result.push_back(element);
    }
    return result;
}

PlistValue arrayByAddingStringsFromArrayWithoutDuplicates(const PlistValue& receiver, const PlistArray& strings) {
    PlistValue result = receiver;
    for (const PlistValue& element : strings) {
        if (!element.isString() || containsEqualString(result.arrayValue(), element.stringValue())) continue;
        result.mutableArray().push_back(element);  // detaches from the receiver on the first addition
    }
    return result;
}

bool containsString(const PlistArray& array, const std::string& text) { return containsEqualString(array, text); }

} // namespace pellora
