#include "model/PropertiesReadOnce.h"

namespace pellora {
namespace {

thread_local PropertiesReadOnce* innermost = nullptr;

} // namespace

PropertiesReadOnce::PropertiesReadOnce(const PelloraImage& image) : record(image), _outer(innermost) {
    innermost = this;
}

PropertiesReadOnce::~PropertiesReadOnce() { innermost = _outer; }

PropertiesReadOnce* PropertiesReadOnce::activeFor(const PelloraImage& image) {
    // The outermost one: a write inside a wider scope (the export's) shares its read.
    PropertiesReadOnce* found = nullptr;
    for (PropertiesReadOnce* memo = innermost; memo; memo = memo->_outer) {
        if (&memo->record == &image) found = memo;
    }
    return found;
}

} // namespace pellora
