#include "update/identify_report.h"

#include <cstdio>

#include "firmware/image_provenance.h"
#include "update/exit_status.h"

namespace varnox {

namespace {

std::string Hex(const IdentityBytes& bytes)
{
    std::string text;
    for (const uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        if (!text.empty())
            text += ' ';
        text += digits;
    }
    return text;
}

}  // namespace

std::string IdentificationText(const Identification& found)
{
    if (!found.ReadFailure.empty())
        return "identity: not read: " + found.ReadFailure + "\nupdate: cannot start\n";
    std::string text = "identity: " + Hex(found.Identity) + "\n";
    if (!found.Firmware)
        return text +
               "firmware: none: the panel's release is newer than the carried firmware\n"
               "update: cannot start\n";
    text += "firmware: " + *found.Firmware + "\n";
    const auto image = ImageOfFirmware(*found.Firmware);
    if (!found.ImageFound || !image)
        return text + "image: none carried for this firmware\nupdate: cannot start\n";
    text += "image: " + image->Image + ", " + (image->StandIn ? "stand-in" : "real") + ", sha256 " +
            image->Sha256 + "\n";
    if (!found.CanStart)
        return text + "update: refused: the carried images are stand-ins (--allow-stand-in writes them)\n";
    return text + "update: can start\n";
}

int IdentificationStatus(const Identification& found)
{
    return found.CanStart ? kExitVerified : kExitPanelUnchanged;
}

}  // namespace varnox
