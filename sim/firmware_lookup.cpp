#include "sim/firmware_lookup.h"

#include <algorithm>

#include "firmware/catalogue.h"
#include "sim/panel_memory.h"

namespace varnox {

std::span<const uint8_t> FindFirmwareImage(const std::string& name)
{
    const std::span<const uint8_t> image = CarriedImage(name);
    if (!image.empty())
        return image;
    for (const CatalogueEntry& entry : FirmwareCatalogue)
        if (name == entry.Name)
            return CarriedImage(entry.Image);
    return {};
}

std::optional<IdentityBytes> IdentityOfImage(const std::string& name)
{
    const std::span<const uint8_t> image = FindFirmwareImage(name);
    IdentityBytes identity{};
    if (image.size() < kPanelIdentityAddress + identity.size())
        return std::nullopt;
    std::copy_n(image.begin() + kPanelIdentityAddress, identity.size(), identity.begin());
    return identity;
}

}  // namespace varnox
