#include "platform/foundation/StringTable.h"

#include <fmt/format.h>
#include <map>
#include <mutex>

#include "platform/foundation/EmbeddedResources.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/PlistXml.h"

namespace pellora {
namespace {

PlistDictionary loadTable(std::string_view table) {
    const std::string resource = fmt::format("{}.strings.plist", table);
    const std::string_view bytes = embeddedResource(resource);
    if (bytes.empty()) {
        Log::line(fmt::format("StringTable: No string table named {}", table));
        return {};
    }
    const PlistValue root = readPlistXml(bytes, resource);
    if (!root.isNull() && !root.isDictionary()) Log::line(fmt::format("StringTable: {} is no dictionary", resource));
    return root.dictionaryValue();
}

// Every table is parsed on first use and kept for the run.
const PlistDictionary& tableNamed(std::string_view table) {
    static std::mutex mutex;
    static std::map<std::string, PlistDictionary, std::less<>> tables;
    std::lock_guard lock(mutex);
    auto it = tables.find(table);
    if (it == tables.end()) it = tables.emplace(std::string(table), loadTable(table)).first;
    return it->second;  // entries of a std::map stay where they are
}

} // namespace

std::string localizedStringForKey(std::string_view key, std::string_view value, std::string_view table) {
    const PlistValue* text = tableNamed(table).find(key);
    if (text && text->isString()) return text->stringValue();
    return std::string(value.empty() ? key : value);
}

std::string stringWithFormat(std::string_view format, const std::vector<std::string>& arguments) {
    std::string result;
    std::size_t nextArgument = 0;
    const auto append = [&](std::size_t index) {
        if (index < arguments.size()) result += arguments[index];
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            result += format[i];
            continue;
        }
        const char next = format[i + 1];
        if (next == '%') {
            result += '%';
            ++i;
        } else if (next == '@') {
            append(nextArgument++);
            ++i;
        } else if (next >= '1' && next <= '9') {
            std::size_t end = i + 1;
            std::size_t position = 0;
            while (end < format.size() && format[end] >= '0' && format[end] <= '9' && position < 1000) {
                position = position * 10 + static_cast<std::size_t>(format[end] - '0');
                ++end;
            }
            if (format.substr(end, 2) == "$@") {
                append(position - 1);
                i = end + 1;
            } else {
                result += '%';
            }
        } else {
            result += '%';
        }
    }
    return result;
}

} // namespace pellora
