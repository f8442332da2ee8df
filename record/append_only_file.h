#pragma once
// The run record's file opened for appending, so that two programs ending a
// run at the same moment each add their whole line and overwrite nothing.

#include <filesystem>

namespace varnox {

// A C runtime descriptor of `file`, created when missing, that reads and
// appends: every write goes to the end of the file as one step, wherever the
// descriptor's position is. On Linux O_APPEND (a new file 0600, the user's
// alone); on Windows a handle granted FILE_APPEND_DATA without FILE_WRITE_DATA,
// since the C runtime's _O_APPEND seeks to the end and then writes, two steps
// another program can come between. -1 with errno set on failure.
int OpenAppendOnly(const std::filesystem::path& file);

}  // namespace varnox
