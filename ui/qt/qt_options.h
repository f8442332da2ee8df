#pragma once
// Qt's own command-line options, which QApplication takes out of argv. The
// window checks its command line without them before Qt starts, so that a
// usage error is answered without a display; any other "-..." is the
// window's to accept or refuse.

#include <string>
#include <vector>

namespace varnox {

// `args` without the Qt options and their values. An option that lacks its
// value is left in, for the window to refuse.
std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& args);

}  // namespace varnox
