#pragma once
// The carried firmware image a name on the command line stands for.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "sim/panel_config.h"

namespace varnox {

// An image's own name, or a catalogue name (which selects an image: the
// catalogue name FWKE4AVRXGAA0I_2x04 stands for the image FWKA1AVRXGAA0I_2x04).
// Empty when the name is neither.
std::span<const uint8_t> FindFirmwareImage(const std::string& name);

// The identity block the image carries at 0xFED0..0xFED5; nullopt when the
// name is unknown or the image too small to hold one.
std::optional<IdentityBytes> IdentityOfImage(const std::string& name);

}  // namespace varnox
