#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "util/IndexSet.h"

namespace pellora {

class PelloraImage;
using PelloraImagePtr = std::shared_ptr<PelloraImage>;

// The ordered list of records, row n being element n, behind one lock that
// every read and change takes. An index of the listed paths answers "is this
// path already listed?" in constant time with exact, case-sensitive byte
// equality. A deque, because the export takes most records from the front.
class SourceList {
public:
    std::size_t count() const;
    bool empty() const { return count() == 0; }
    // The record at index, or nullptr when the row has vanished since it was counted.
    PelloraImagePtr objectAtIndex(std::size_t index) const;
    PelloraImagePtr firstObject() const { return objectAtIndex(0); }
    // A copy of the list, for drawing a table that must tolerate later changes.
    std::vector<PelloraImagePtr> snapshot() const;
    // The first count records (fewer when the list is shorter), read together.
    std::vector<PelloraImagePtr> firstObjects(std::size_t count) const;
    // The first count records that are not in passedOver, read together.
    std::vector<PelloraImagePtr> firstObjectsExcept(std::size_t count,
                                                    const std::unordered_set<PelloraImagePtr>& passedOver) const;

    bool containsPath(const std::string& path) const;
    // Appends a record for path unless one is listed already; true when added.
    bool addRecordForPathIfMissing(const std::string& path);
    void addObject(PelloraImagePtr record);

    // Removes the record if it is still listed.
    void removeObject(const PelloraImagePtr& record);
    // Removes the rows of the set that still exist, highest first.
    void removeObjectsAtIndexes(const IndexSet& indexes);
    void removeAllObjects();

private:
    void indexAdd(const std::string& path);
    void indexRemove(const std::string& path);

    mutable std::mutex _mutex;
    std::deque<PelloraImagePtr> _records;
    std::unordered_map<std::string, std::size_t> _pathCounts;
};

} // namespace pellora
