#pragma once

#include <cstddef>
#include <initializer_list>
#include <limits>
#include <set>

namespace pellora {

// A set of unsigned indexes kept in ascending order without repeats.
class IndexSet {
public:
    static constexpr std::size_t NotFound = std::numeric_limits<std::size_t>::max();

    IndexSet() = default;
    IndexSet(std::initializer_list<std::size_t> indexes) : _indexes(indexes) {}

    void addIndex(std::size_t index) { _indexes.insert(index); }
    std::size_t count() const { return _indexes.size(); }
    bool containsIndex(std::size_t index) const { return _indexes.count(index) != 0; }
    std::size_t firstIndex() const { return _indexes.empty() ? NotFound : *_indexes.begin(); }
    std::size_t lastIndex() const { return _indexes.empty() ? NotFound : *_indexes.rbegin(); }

    // The first member >= index, or NotFound.
    std::size_t indexGreaterThanOrEqualToIndex(std::size_t index) const {
        const auto it = _indexes.lower_bound(index);
        return it == _indexes.end() ? NotFound : *it;
    }
    // The last member <= index, or NotFound.
    std::size_t indexLessThanOrEqualToIndex(std::size_t index) const {
        auto it = _indexes.upper_bound(index);
        return it == _indexes.begin() ? NotFound : *--it;
    }

    auto begin() const { return _indexes.begin(); }
    auto end() const { return _indexes.end(); }

private:
    std::set<std::size_t> _indexes;
};

} // namespace pellora
