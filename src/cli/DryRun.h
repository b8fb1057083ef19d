#pragma once

#include <string>
#include <vector>

#include "jobs/SourceList.h"

namespace pellora::cli {

// Prints, one line per record, what exporting the records into folder with
// the current settings would do, judged from names alone (nothing is decoded
// or written): "write", "skip" (the output exists, overwriting off) or
// "clash" (an earlier record writes the same output), then the counts and the
// number of jobs. Returns the exit status the export would have for the
// clashes: 1 when there are any, else 0.
int printDryRun(const std::vector<PelloraImagePtr>& records, const std::string& folder, unsigned jobs);

} // namespace pellora::cli
