#include "ui/qt/qt_options.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace varnox {

namespace {

// QGuiApplication's, QApplication's and the X11 platform's, as Qt 6 takes
// them; Qt reads "--platform" as "-platform" too.
constexpr std::array<std::string_view, 16> kWithValue = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin",      "-qwindowgeometry",
    "-geometry", "-qwindowtitle",       "-title",         "-qwindowicon", "-icon",
    "-style",    "-stylesheet",         "-session",       "-display",     "-name",
    "-visual"};
constexpr std::array<std::string_view, 6> kAlone = {"-reverse", "-widgetcount", "-nograb",
                                                    "-dograb",  "-cmap",        "-testability"};
constexpr std::array<std::string_view, 3> kJoined = {"-style=", "-stylesheet=", "-qmljsdebugger="};

template <std::size_t N>
bool Among(const std::array<std::string_view, N>& names, std::string_view arg)
{
    return std::find(names.begin(), names.end(), arg) != names.end();
}

}  // namespace

std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& args)
{
    std::vector<std::string> rest;
    for (std::size_t index = 0; index < args.size(); ++index) {
        std::string_view arg = args[index];
        if (arg.rfind("--", 0) == 0)
            arg.remove_prefix(1);
        if (Among(kWithValue, arg) && index + 1 < args.size()) {
            ++index;
            continue;
        }
        const bool joined = std::any_of(kJoined.begin(), kJoined.end(),
                                        [arg](std::string_view prefix) { return arg.rfind(prefix, 0) == 0; });
        if (Among(kAlone, arg) || joined)
            continue;
        rest.push_back(args[index]);
    }
    return rest;
}

}  // namespace varnox
