#pragma once

namespace pellora {

// Lets the allocator keep the large buffers of decoded images for the next
// image instead of handing them back to the system after each one: a fresh
// buffer of tens of megabytes costs a page fault per 4 KiB and the kernel's
// zeroing of every page, about a tenth of an export's time. What is kept stays
// bounded by the buffers the export workers hold at once. Call once, at start-up.
void keepLargeBuffersForReuse();

} // namespace pellora
