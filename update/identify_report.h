#pragma once
// What an identification found, as varnox-patch-cli --identify prints it and
// the windows' IDENTIFY PANEL logs it, and its exit status.

#include <string>

#include "update/update_engine.h"

namespace varnox {

// Lines "identity: ...", "firmware: ...", "image: ...", "update: ...", each
// ending in "\n"; a line that cannot be known says why.
std::string IdentificationText(const Identification& found);

// 0 when an update could start, 1 otherwise.
int IdentificationStatus(const Identification& found);

}  // namespace varnox
