#pragma once
// The first bytes of a file that anyone could have planted: opened without
// waiting (a FIFO has no writer to wait for), read only when it is a regular
// file, and never more than the caller's limit (a huge sparse file costs
// nothing). POSIX only.

#include <cstddef>
#include <string>

namespace varnox {

enum class Links { Follow, Refuse };

struct FileHead {
    int OpenError = 0;     // errno of a failed open (ELOOP: a link refused); 0 once open
    bool Regular = false;  // open and a regular file: Bytes holds its start
    std::string Bytes;
};

FileHead ReadFileHead(const std::string& path, std::size_t limit, Links links);

}  // namespace varnox
