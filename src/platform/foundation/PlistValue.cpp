#include "platform/foundation/PlistValue.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fmt/format.h>

namespace pellora {
namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Skips leading white space; returns the index of the first other character.
std::size_t skipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    return i;
}

// The leading integer of a text (white space, optional sign, digits), saturated.
std::int64_t leadingInteger(std::string_view text) {
    std::size_t i = skipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (value > (INT64_MAX - digit) / 10) return negative ? INT64_MIN : INT64_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

// The platform's string boolValue: true when the text starts (after white space
// and zeros of a sign) with Y, y, T, t or a non-zero digit.
bool leadingBool(std::string_view text) {
    std::size_t i = skipSpace(text);
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    while (i < text.size() && text[i] == '0') ++i;
    if (i >= text.size()) return false;
    const char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

const std::string& emptyString() {
    static const std::string empty;
    return empty;
}

} // namespace

double leadingNumber(std::string_view text) {
    std::size_t start = skipSpace(text);
    std::size_t i = start;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t digitsStart = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i;
    }
    if (i == digitsStart || (i == digitsStart + 1 && text[digitsStart] == '.')) return 0.0;
    // An exponent counts only when digits follow it.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) ++j;
            i = j;
        }
    }
    if (text[start] == '+') ++start;  // from_chars takes no plus sign
    double value = 0.0;
    const auto result = std::from_chars(text.data() + start, text.data() + i, value);
    if (result.ec == std::errc::result_out_of_range) return text[start] == '-' ? -HUGE_VAL : HUGE_VAL;
    return value;
}

PlistValue::PlistValue(PlistArray value) : _value(std::make_shared<PlistArray>(std::move(value))) {}
PlistValue::PlistValue(PlistDictionary value)
    : _value(std::make_shared<PlistDictionary>(std::move(value))) {}

bool PlistValue::isSinglePrecision() const {
    const auto* real = std::get_if<Real>(&_value);
    return real != nullptr && real->single;
}

std::int64_t PlistValue::integerValue() const {
    switch (type()) {
    case Type::Boolean: return std::get<bool>(_value) ? 1 : 0;
    case Type::Integer: return std::get<std::int64_t>(_value);
    case Type::Real: {
        const double value = std::get<Real>(_value).value;
        if (std::isnan(value)) return 0;
        if (value >= 9.2e18) return INT64_MAX;
        if (value <= -9.2e18) return INT64_MIN;
        return static_cast<std::int64_t>(value);
    }
    case Type::String: return leadingInteger(std::get<std::string>(_value));
    default: return 0;
    }
}

int PlistValue::intValue() const {
    const std::int64_t value = integerValue();
    if (type() == Type::String) {
        // The platform's string intValue saturates; its number intValue truncates.
        if (value > INT_MAX) return INT_MAX;
        if (value < INT_MIN) return INT_MIN;
    }
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

double PlistValue::doubleValue() const {
    switch (type()) {
    case Type::Boolean: return std::get<bool>(_value) ? 1.0 : 0.0;
    case Type::Integer: return static_cast<double>(std::get<std::int64_t>(_value));
    case Type::Real: return std::get<Real>(_value).value;
    case Type::String: return leadingNumber(std::get<std::string>(_value));
    default: return 0.0;
    }
}

float PlistValue::floatValue() const { return static_cast<float>(doubleValue()); }

bool PlistValue::boolValue() const {
    switch (type()) {
    case Type::Boolean: return std::get<bool>(_value);
    case Type::Integer: return std::get<std::int64_t>(_value) != 0;
    case Type::Real: return std::get<Real>(_value).value != 0.0;
    case Type::String: return leadingBool(std::get<std::string>(_value));
    default: return false;
    }
}

const std::string& PlistValue::stringValue() const {
    const auto* text = std::get_if<std::string>(&_value);
    return text != nullptr ? *text : emptyString();
}

PlistDate PlistValue::dateValue() const {
    const auto* date = std::get_if<PlistDate>(&_value);
    return date != nullptr ? *date : PlistDate{};
}

const PlistData& PlistValue::dataValue() const {
    static const PlistData empty;
    const auto* data = std::get_if<PlistData>(&_value);
    return data != nullptr ? *data : empty;
}

const PlistArray& PlistValue::arrayValue() const {
    static const PlistArray empty;
    const auto* array = std::get_if<ArrayRef>(&_value);
    return array != nullptr ? **array : empty;
}

const PlistDictionary& PlistValue::dictionaryValue() const {
    static const PlistDictionary empty;
    const auto* dictionary = std::get_if<DictionaryRef>(&_value);
    return dictionary != nullptr ? **dictionary : empty;
}

PlistArray& PlistValue::mutableArray() {
    auto* array = std::get_if<ArrayRef>(&_value);
    if (array == nullptr) {
        _value = std::make_shared<PlistArray>();
        array = std::get_if<ArrayRef>(&_value);
    } else if (array->use_count() > 1) {
        *array = std::make_shared<PlistArray>(**array);
    }
    return **array;
}

PlistDictionary& PlistValue::mutableDictionary() {
    auto* dictionary = std::get_if<DictionaryRef>(&_value);
    if (dictionary == nullptr) {
        _value = std::make_shared<PlistDictionary>();
        dictionary = std::get_if<DictionaryRef>(&_value);
    } else if (dictionary->use_count() > 1) {
        *dictionary = std::make_shared<PlistDictionary>(**dictionary);
    }
    return **dictionary;
}

bool PlistValue::isSameObject(const PlistValue& other) const {
    if (const auto* array = std::get_if<ArrayRef>(&_value)) {
        const auto* otherArray = std::get_if<ArrayRef>(&other._value);
        return otherArray != nullptr && *array == *otherArray;
    }
    if (const auto* dictionary = std::get_if<DictionaryRef>(&_value)) {
        const auto* otherDictionary = std::get_if<DictionaryRef>(&other._value);
        return otherDictionary != nullptr && *dictionary == *otherDictionary;
    }
    return false;
}

bool PlistValue::operator==(const PlistValue& other) const {
    if (type() != other.type()) return false;
    switch (type()) {
    case Type::Null: return true;
    case Type::Boolean: return std::get<bool>(_value) == std::get<bool>(other._value);
    case Type::Integer: return std::get<std::int64_t>(_value) == std::get<std::int64_t>(other._value);
    case Type::Real: return std::get<Real>(_value).value == std::get<Real>(other._value).value;
    case Type::String: return stringValue() == other.stringValue();
    case Type::Date: return dateValue() == other.dateValue();
    case Type::Data: return dataValue() == other.dataValue();
    case Type::Array: return isSameObject(other) || arrayValue() == other.arrayValue();
    case Type::Dictionary: return isSameObject(other) || dictionaryValue() == other.dictionaryValue();
    }
    return false;
}

std::string PlistValue::description() const {
    switch (type()) {
    case Type::Null: return "(null)";
    case Type::Boolean: return std::get<bool>(_value) ? "1" : "0";
    case Type::Integer: return std::to_string(std::get<std::int64_t>(_value));
    case Type::Real: {
        const Real real = std::get<Real>(_value);
        char buffer[64];
        const auto result = real.single
                                ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(real.value))
                                : std::to_chars(buffer, buffer + sizeof buffer, real.value);
        return std::string(buffer, result.ptr);
    }
    case Type::String: return stringValue();
    case Type::Date: {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(dateValue().time_since_epoch());
        return std::to_string(seconds.count());
    }
    case Type::Data: return fmt::format("<{} bytes>", dataValue().size());
    case Type::Array: return fmt::format("({} elements)", arrayValue().size());
    case Type::Dictionary: return fmt::format("{{{} entries}}", dictionaryValue().size());
    }
    return {};
}

PlistDictionary::PlistDictionary(std::initializer_list<Entry> entries) {
    for (const auto& entry : entries) set(entry.first, entry.second);
}

const PlistValue* PlistDictionary::find(std::string_view key) const {
    for (const auto& entry : _entries) {
        if (entry.first == key) return &entry.second;
    }
    return nullptr;
}

const PlistValue& PlistDictionary::get(std::string_view key) const {
    static const PlistValue null;
    const PlistValue* value = find(key);
    return value != nullptr ? *value : null;
}

void PlistDictionary::set(std::string key, PlistValue value) {
    for (auto& entry : _entries) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    _entries.emplace_back(std::move(key), std::move(value));
}

bool PlistDictionary::remove(std::string_view key) {
    for (auto it = _entries.begin(); it != _entries.end(); ++it) {
        if (it->first == key) {
            _entries.erase(it);
            return true;
        }
    }
    return false;
}

bool PlistDictionary::operator==(const PlistDictionary& other) const {
    if (size() != other.size()) return false;
    for (const auto& [key, value] : _entries) {
        const PlistValue* otherValue = other.find(key);
        if (otherValue == nullptr || !(*otherValue == value)) return false;
    }
    return true;
}

} // namespace pellora
