#pragma once
// Which source a program was built from, for --version: written at build time
// by cmake/build_stamp.cmake.

#include <string_view>

namespace varnox {

// The commit's short hash (12 hex digits), with "+changes" when tracked files
// differed from it; "unknown" outside a git checkout.
std::string_view BuildCommit();

// "YYYY-MM-DD" (UTC) from SOURCE_DATE_EPOCH, else the commit's date; "unknown".
std::string_view BuildDate();

}  // namespace varnox
