#include "firmware/image_provenance.h"

#include <algorithm>

#include "firmware/build_stamp.h"
#include "firmware/catalogue.h"

namespace varnox {
namespace {

const ImageDigest* FindDigest(std::string_view image_name)
{
    const std::span<const ImageDigest> digests = CarriedImageDigests();
    const auto found = std::find_if(digests.begin(), digests.end(),
                                    [&](const ImageDigest& row) { return row.Name == image_name; });
    return found == digests.end() ? nullptr : &*found;
}

}  // namespace

bool CarriesStandInImages()
{
    const std::span<const ImageDigest> digests = CarriedImageDigests();
    return std::any_of(digests.begin(), digests.end(), [](const ImageDigest& row) { return row.StandIn; });
}

std::string_view ImageSha256(std::string_view image_name)
{
    const ImageDigest* row = FindDigest(image_name);
    return row ? row->Sha256 : std::string_view();
}

std::optional<FirmwareImageRecord> ImageOfFirmware(const std::string& firmware_name)
{
    const CatalogueEntry* entry = FindCatalogueEntry(firmware_name);
    const ImageDigest* row = entry ? FindDigest(entry->Image) : nullptr;
    if (!row)
        return std::nullopt;
    return FirmwareImageRecord{std::string(row->Name), std::string(row->Sha256), row->StandIn};
}

std::string_view ProgramVersion()
{
    return VARNOX_VERSION;
}

std::string VersionText(const std::string& program)
{
    return program + " " VARNOX_VERSION "\n" + "images: " + (CarriesStandInImages() ? "stand-in" : "real") +
           ", set sha256 " + std::string(ImageSetSha256()) + "\n" + "commit " + std::string(BuildCommit()) +
           ", built " + std::string(BuildDate()) + "\n";
}

}  // namespace varnox
