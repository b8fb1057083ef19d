#pragma once

namespace pellora::cli {

// The processors this process may keep busy: those its CPU affinity allows,
// further limited by a CPU quota of its control group or of any group above
// it (cgroup v2 cpu.max, or cgroup v1 cpu.cfs_quota_us), rounded up. So a
// container limited to 2 CPUs on a larger machine gets 2. At least 1.
unsigned usableProcessorCount();

} // namespace pellora::cli
