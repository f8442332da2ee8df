#pragma once
// Where the carried images came from: their SHA-256 digests, taken from the
// files at configure time, and whether they are the generated stand-ins.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace varnox {

struct ImageDigest {
    std::string_view Name;    // the image's file name without .bin: "FWKA1AVRXGAA0I_2x04", "MICROK"
    std::string_view Sha256;  // 64 lowercase hex digits
    bool StandIn;             // the content is the generated stand-in of that name
};

// Every carried image, the microKernel last, in the order of image_list.inc.
std::span<const ImageDigest> CarriedImageDigests();

// The SHA-256 of the lines "<sha256>  <name>.bin\n" of every carried image in
// that order (what `sha256sum` writes); for the stand-ins, the digest of
// firmware/images/stand-in.sha256.
std::string_view ImageSetSha256();

// True when any carried image is a generated stand-in: a set that is not
// wholly real is never called real.
bool CarriesStandInImages();

// The digest of a carried image by its image name; empty when there is none.
std::string_view ImageSha256(std::string_view image_name);

// The image a firmware name selects, as a run records it.
struct FirmwareImageRecord {
    std::string Image;  // the image's name, e.g. FWKA1AVRXGAA0I_2x04 for FWKE4AVRXGAA0I_2x04
    std::string Sha256;
    bool StandIn = false;
};
std::optional<FirmwareImageRecord> ImageOfFirmware(const std::string& firmware_name);

// The programs' version, "2.04".
std::string_view ProgramVersion();

// "PROGRAM VERSION", a line on the carried image set and one on the source,
// each ending in "\n": "images: stand-in, set sha256 <64 hex>" or
// "images: real, set sha256 <64 hex>"; "commit <BuildCommit()>, built <BuildDate()>".
std::string VersionText(const std::string& program);

}  // namespace varnox
