#pragma once
// The files the window hands to the user: the common save dialog for a
// report or a trace, and a saved report opened in the default browser.

#include <windows.h>

#include <string>

namespace varnox {

enum class SavedFile { Report, Trace };

// The common save dialog, starting at `suggested` (a name or a path); the
// path chosen, or "" when cancelled. Asks before replacing a file.
std::string ChooseSaveFile(HWND owner, SavedFile kind, const std::string& suggested);

// The file opened by the program the user has for its type (a report: the
// browser). False when the system could not start it.
bool OpenWithDefaultProgram(HWND owner, const std::string& path);

}  // namespace varnox
