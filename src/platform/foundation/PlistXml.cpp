#include "platform/foundation/PlistXml.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <fmt/format.h>
#include <pugixml.hpp>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"

namespace pellora {
namespace {

// ---- reading ----

struct ParseError {
    std::string reason;
};

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isXmlSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isXmlSpace(text.back())) text.remove_suffix(1);
    return text;
}

int base64Digit(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool decodeBase64(std::string_view text, PlistData& out) {
    std::uint32_t accumulator = 0;
    int bits = 0;
    bool padding = false;
    for (const char c : text) {
        if (isXmlSpace(c)) continue;
        if (c == '=') {
            padding = true;
            continue;
        }
        const int digit = base64Digit(c);
        if (digit < 0 || padding) return false;
        accumulator = (accumulator << 6) | static_cast<std::uint32_t>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>((accumulator >> bits) & 0xFF));
        }
    }
    return true;
}

bool parseInteger(std::string_view text, std::int64_t& value) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool parseReal(std::string_view text, double& value) {
    text = trimmed(text);
    if (text == "nan") return value = NAN, true;
    if (text == "+infinity" || text == "inf" || text == "+inf") return value = INFINITY, true;
    if (text == "-infinity" || text == "-inf") return value = -INFINITY, true;
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// ISO 8601 in UTC as property lists write it: 2026-12-06T16:04:37Z.
bool parseDate(std::string_view text, PlistDate& date) {
    const std::string value(trimmed(text));
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char zone = 0;
    if (std::sscanf(value.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &year, &month, &day, &hour, &minute, &second,
                    &zone) != 7 ||
        zone != 'Z' || value.size() != 20) {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return false;
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    date = std::chrono::system_clock::from_time_t(timegm(&fields));
    return true;
}

class Reader {
public:
    explicit Reader(int maxDepth) : _maxDepth(maxDepth) {}

    PlistValue value(const pugi::xml_node& node, int depth) {
        if (depth > _maxDepth) throw ParseError{"nesting deeper than " + std::to_string(_maxDepth)};
        const std::string_view name = node.name();
        if (name == "dict") return dictionary(node, depth);
        if (name == "array") {
            PlistArray array;
            for (const pugi::xml_node& child : node.children()) {
                if (child.type() != pugi::node_element) continue;
                array.push_back(value(child, depth + 1));
            }
            return array;
        }
        if (name == "string") return std::string(node.child_value());
        if (name == "true") return true;
        if (name == "false") return false;
        if (name == "integer") {
            std::int64_t number = 0;
            if (!parseInteger(node.child_value(), number)) throw ParseError{"bad integer"};
            return number;
        }
        if (name == "real") {
            double number = 0;
            if (!parseReal(node.child_value(), number)) throw ParseError{"bad real"};
            return number;
        }
        if (name == "date") {
            PlistDate date;
            if (!parseDate(node.child_value(), date)) throw ParseError{"bad date"};
            return date;
        }
        if (name == "data") {
            PlistData data;
            if (!decodeBase64(node.child_value(), data)) throw ParseError{"bad data"};
            return data;
        }
        throw ParseError{"unknown element <" + std::string(name) + ">"};
    }

private:
    PlistValue dictionary(const pugi::xml_node& node, int depth) {
        PlistDictionary dictionary;
        std::string key;
        bool haveKey = false;
        for (const pugi::xml_node& child : node.children()) {
            if (child.type() != pugi::node_element) continue;
            if (!haveKey) {
                if (std::string_view(child.name()) != "key") throw ParseError{"value without a key"};
                key = child.child_value();
                haveKey = true;
            } else {
                dictionary.set(std::move(key), value(child, depth + 1));
                key.clear();
                haveKey = false;
            }
        }
        if (haveKey) throw ParseError{"key without a value"};
        return dictionary;
    }

    int _maxDepth;
};

// ---- writing ----

void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\r': out += "&#13;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
                out += fmt::format("&#{};", static_cast<int>(c));
            } else {
                out += c;
            }
        }
    }
}

void appendBase64(std::string& out, const PlistData& data) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const std::uint32_t word = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        out += digits[(word >> 18) & 63];
        out += digits[(word >> 12) & 63];
        out += digits[(word >> 6) & 63];
        out += digits[word & 63];
    }
    if (i + 1 == data.size()) {
        const std::uint32_t word = data[i] << 16;
        out += digits[(word >> 18) & 63];
        out += digits[(word >> 12) & 63];
        out += "==";
    } else if (i + 2 == data.size()) {
        const std::uint32_t word = (data[i] << 16) | (data[i + 1] << 8);
        out += digits[(word >> 18) & 63];
        out += digits[(word >> 12) & 63];
        out += digits[(word >> 6) & 63];
        out += '=';
    }
}

std::string realText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "+infinity" : "-infinity";
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string dateText(PlistDate date) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &fields);
    return buffer;
}

void writeValue(std::string& out, const PlistValue& value, int indent) {
    const std::string pad(static_cast<std::size_t>(indent), '\t');
    out += pad;
    switch (value.type()) {
    case PlistValue::Type::Null: out += "<string></string>"; break;  // no null in the XML form
    case PlistValue::Type::Boolean: out += value.boolValue() ? "<true/>" : "<false/>"; break;
    case PlistValue::Type::Integer: out += fmt::format("<integer>{}</integer>", value.integerValue()); break;
    case PlistValue::Type::Real: out += "<real>" + realText(value.doubleValue()) + "</real>"; break;
    case PlistValue::Type::String:
        out += "<string>";
        appendEscaped(out, value.stringValue());
        out += "</string>";
        break;
    case PlistValue::Type::Date: out += "<date>" + dateText(value.dateValue()) + "</date>"; break;
    case PlistValue::Type::Data:
        out += "<data>";
        appendBase64(out, value.dataValue());
        out += "</data>";
        break;
    case PlistValue::Type::Array:
        if (value.arrayValue().empty()) {
            out += "<array/>";
            break;
        }
        out += "<array>\n";
        for (const PlistValue& element : value.arrayValue()) writeValue(out, element, indent + 1);
        out += pad + "</array>";
        break;
    case PlistValue::Type::Dictionary:
        if (value.dictionaryValue().empty()) {
            out += "<dict/>";
            break;
        }
        out += "<dict>\n";
        for (const auto& [key, element] : value.dictionaryValue()) {
            out += pad + "\t<key>";
            appendEscaped(out, key);
            out += "</key>\n";
            writeValue(out, element, indent + 1);
        }
        out += pad + "</dict>";
        break;
    }
    out += '\n';
}

} // namespace

PlistValue readPlistXml(std::string_view xml, std::string_view origin, const PlistReadLimits& limits,
                        std::string* error) {
    const auto refuse = [&](std::string_view reason) {
        if (error != nullptr) {
            *error = reason;
        } else {
            Log::line(fmt::format("Cannot read {}: {}", origin, reason));
        }
        return PlistValue();
    };
    if (xml.size() > limits.maxBytes) return refuse(fmt::format("larger than {} bytes", limits.maxBytes));

    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_doctype, pugi::encoding_utf8);
    if (!parsed) return refuse(fmt::format("malformed XML at offset {}: {}", parsed.offset, parsed.description()));

    pugi::xml_node root;
    for (const pugi::xml_node& node : document.children()) {
        if (node.type() == pugi::node_doctype) {
            // Entity declarations are never expanded: a document that has any is refused.
            if (std::string_view(node.value()).find("ENTITY") != std::string_view::npos) {
                return refuse("entity declarations are not accepted");
            }
        } else if (node.type() == pugi::node_element) {
            if (root) return refuse("more than one root element");
            root = node;
        }
    }
    if (!root || std::string_view(root.name()) != "plist") return refuse("the root element is not <plist>");

    pugi::xml_node top;
    for (const pugi::xml_node& child : root.children()) {
        if (child.type() != pugi::node_element) continue;
        if (top) return refuse("<plist> holds more than one value");
        top = child;
    }
    if (!top) return refuse("<plist> holds no value");
    try {
        return Reader(limits.maxDepth).value(top, 1);
    } catch (const ParseError& failure) {
        return refuse(failure.reason);
    }
}

PlistValue readPlistFile(const std::string& path, const PlistReadLimits& limits) {
    std::string contents;
    if (!readWholeFile(path, contents, limits.maxBytes)) return PlistValue();
    return readPlistXml(contents, path, limits);
}

std::string writePlistXml(const PlistValue& value) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n";
    writeValue(out, value, 0);
    out += "</plist>\n";
    return out;
}

} // namespace pellora
