#pragma once
// What a run is given when it starts, beside the options: the window's choices
// at the moment the update button is pressed.

#include <string>

namespace varnox {

struct RunStart {
    // Item of the language selector: -1 when none is chosen (the console tool).
    int SelectorIndex = -1;
    // Who does the update, for the run record; empty: not given.
    std::string Technician;
};

}  // namespace varnox
