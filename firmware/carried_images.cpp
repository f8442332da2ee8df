#include <array>
#include <string_view>

#include "firmware/catalogue.h"

// Start and end of every image embedded by images.S.
#define FIRMWARE_IMAGE(name, size)                          \
    extern "C" const uint8_t varnox_image_##name##_start[]; \
    extern "C" const uint8_t varnox_image_##name##_end[];
#define MICROKERNEL_IMAGE(name, size) FIRMWARE_IMAGE(name, size)
#include "firmware/image_list.inc"
#undef FIRMWARE_IMAGE
#undef MICROKERNEL_IMAGE

namespace varnox {
namespace {

struct CarriedImageRow {
    std::string_view Name;
    const uint8_t* Start;
    const uint8_t* End;
};

#define FIRMWARE_IMAGE(name, size) {#name, varnox_image_##name##_start, varnox_image_##name##_end},
#define MICROKERNEL_IMAGE(name, size)
const CarriedImageRow kFirmwareImages[] = {
#include "firmware/image_list.inc"
};
#undef FIRMWARE_IMAGE
#undef MICROKERNEL_IMAGE

std::span<const uint8_t> Bytes(const uint8_t* start, const uint8_t* end)
{
    return {start, static_cast<std::size_t>(end - start)};
}

}  // namespace

std::span<const uint8_t> CarriedImage(const std::string& image_name)
{
    for (const CarriedImageRow& row : kFirmwareImages) {
        if (row.Name == image_name)
            return Bytes(row.Start, row.End);
    }
    return {};
}

std::vector<std::string> CarriedImageNames()
{
    std::vector<std::string> names;
    for (const CarriedImageRow& row : kFirmwareImages)
        names.emplace_back(row.Name);
    return names;
}

std::span<const uint8_t> MicroKernelImage()
{
    return Bytes(varnox_image_MICROK_start, varnox_image_MICROK_end);
}

}  // namespace varnox
