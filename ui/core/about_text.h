#pragma once
// HELP > ABOUT: program and version, the carried image set, where the run
// record is kept, and the libraries the program is built with.

#include <string>
#include <vector>

namespace varnox {

// `record_place`: the run record's file, or why there is none.
// `libraries`: one "name (licence)" each.
std::string AboutText(const std::string& record_place, const std::vector<std::string>& libraries);

// What every window links: the libraries below its shell.
std::vector<std::string> CoreLibraries();

}  // namespace varnox
