#pragma once
// Where the carried images came from: the answer of every program's --version.

#include <string>

namespace varnox {

// "PROGRAM VERSION" and a line on the carried image set, each ending in "\n".
std::string VersionText(const std::string& program);

}  // namespace varnox
