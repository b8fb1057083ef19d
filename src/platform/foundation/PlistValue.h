#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pellora {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
class PlistDictionary;

using PlistDate = std::chrono::system_clock::time_point;
using PlistData = std::vector<std::uint8_t>;

// One property-list value: null, boolean, integer, real, string, date, data,
// array or dictionary. Arrays and dictionaries are shared and copied on write,
// so copies are cheap and two values can be asked whether they are the same
// object (isSameObject), as the platform's collections can.
class PlistValue {
public:
    enum class Type { Null, Boolean, Integer, Real, String, Date, Data, Array, Dictionary };

    PlistValue() = default;
    PlistValue(std::nullptr_t) {}
    PlistValue(bool value) : _value(value) {}
    PlistValue(int value) : _value(static_cast<std::int64_t>(value)) {}
    PlistValue(std::int64_t value) : _value(value) {}
    PlistValue(double value) : _value(Real{value, false}) {}
    // A single-precision number: keeps its float value exactly through a write and a read.
    PlistValue(float value) : _value(Real{value, true}) {}
    PlistValue(const char* value) : _value(std::string(value)) {}
    PlistValue(std::string value) : _value(std::move(value)) {}
    PlistValue(std::string_view value) : _value(std::string(value)) {}
    PlistValue(PlistDate value) : _value(value) {}
    PlistValue(PlistData value) : _value(std::move(value)) {}
    PlistValue(PlistArray value);
    PlistValue(PlistDictionary value);

    Type type() const { return static_cast<Type>(_value.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isString() const { return type() == Type::String; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isNumber() const { return type() == Type::Integer || type() == Type::Real || type() == Type::Boolean; }
    // True for a real made from a float.
    bool isSinglePrecision() const;

    // Typed reads as the platform's number and string objects answer them: a
    // string reads as its leading decimal number (leading white space skipped,
    // optional sign) or 0; anything else that is not a number reads as 0/false.
    int intValue() const;
    std::int64_t integerValue() const;
    float floatValue() const;
    double doubleValue() const;
    bool boolValue() const;

    // Exact accessors; the fallbacks are empty values of the asked type.
    const std::string& stringValue() const;
    PlistDate dateValue() const;
    const PlistData& dataValue() const;
    const PlistArray& arrayValue() const;
    const PlistDictionary& dictionaryValue() const;

    // Mutable access to a container; detaches it from other copies first.
    PlistArray& mutableArray();
    PlistDictionary& mutableDictionary();

    // Identity of the shared container (arrays and dictionaries only).
    bool isSameObject(const PlistValue& other) const;

    // Deep equality; reals compare by value, whatever their precision.
    bool operator==(const PlistValue& other) const;

    // A short text for messages and quoting ("%@"): strings as they are,
    // numbers in decimal, booleans as 1/0.
    std::string description() const;

private:
    struct Real {
        double value;
        bool single;
    };
    using ArrayRef = std::shared_ptr<PlistArray>;
    using DictionaryRef = std::shared_ptr<PlistDictionary>;
    std::variant<std::monostate, bool, std::int64_t, Real, std::string, PlistDate, PlistData, ArrayRef,
                 DictionaryRef>
        _value;
};

// A dictionary that keeps its keys in insertion order (so writing it is
// deterministic and a defaults table keeps the order it was built in).
class PlistDictionary {
public:
    using Entry = std::pair<std::string, PlistValue>;

    PlistDictionary() = default;
    PlistDictionary(std::initializer_list<Entry> entries);

    // nullptr when the key is absent.
    const PlistValue* find(std::string_view key) const;
    // The value for key, or a null value.
    const PlistValue& get(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // Replaces an existing entry in place or appends a new one.
    void set(std::string key, PlistValue value);
    bool remove(std::string_view key);

    std::size_t size() const { return _entries.size(); }
    bool empty() const { return _entries.empty(); }
    auto begin() const { return _entries.begin(); }
    auto end() const { return _entries.end(); }

    bool operator==(const PlistDictionary& other) const;

private:
    std::vector<Entry> _entries;
};

// The leading decimal number of a text, as the typed reads use it.
double leadingNumber(std::string_view text);

} // namespace pellora
