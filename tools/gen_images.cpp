// Writes the stand-in firmware images and the stand-in microKernel image
// into the folder named on the command line. The real vendor images are not
// available; these have the real sizes and layout, pseudo-random bytes where
// the panel receives data, and the identity block each real image carries.
// The output is the same on every run and every platform.
//
//   gen_images <folder>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "firmware/catalogue.h"
#include "firmware/panel_identity.h"

namespace {

using varnox::PanelIdentity;

constexpr uint64_t kSeed = 0x56415258'4E4F5821;  // fixed; every image derives its own stream

// SplitMix64: tiny, fully specified, identical output everywhere.
class ByteStream {
public:
    explicit ByteStream(uint64_t seed) : state_(seed) {}
    uint8_t Next()
    {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return static_cast<uint8_t>(z ^ (z >> 31));
    }

private:
    uint64_t state_;
};

// FNV-1a, so that each image's stream depends on its name, not on list order.
uint64_t NameHash(const std::string& name)
{
    uint64_t hash = 0xCBF29CE484222325ULL;
    for (unsigned char c : name)
        hash = (hash ^ c) * 0x100000001B3ULL;
    return hash;
}

void FillRandom(std::vector<uint8_t>& image, uint32_t first, uint32_t last, ByteStream& stream)
{
    for (uint32_t offset = first; offset <= last; ++offset)
        image[offset] = stream.Next();
}

// The first identity block, in ascending byte order, that names back `name`.
std::optional<PanelIdentity> IdentityNaming(const std::string& name)
{
    PanelIdentity identity;
    identity.Bytes[3] = varnox::kNewestRelease;
    for (int family = 0; family <= 255; ++family) {
        for (int languageSet = 0; languageSet <= 255; ++languageSet) {
            for (int flags = 0; flags <= 255; ++flags) {
                identity.Bytes[2] = static_cast<uint8_t>(flags);
                identity.Bytes[4] = static_cast<uint8_t>(languageSet);
                identity.Bytes[5] = static_cast<uint8_t>(family);
                if (varnox::BuildFirmwareName(identity, varnox::kNoSelectorEntry) == name)
                    return identity;
            }
        }
    }
    return std::nullopt;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "gen_images: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s %zu bytes\n", path.c_str(), bytes.size());
    return true;
}

bool WriteFirmwareImage(const std::string& folder, const varnox::CatalogueEntry& first_entry)
{
    const std::string image_name = first_entry.Image;
    const std::optional<PanelIdentity> identity = IdentityNaming(first_entry.Name);
    if (!identity) {
        std::fprintf(stderr, "gen_images: no identity block names %s\n", first_entry.Name);
        return false;
    }
    // Zero outside the two flash ranges and the EEPROM part.
    std::vector<uint8_t> image(std::size_t{first_entry.EndAddress} + 1, 0);
    ByteStream stream(kSeed ^ NameHash(image_name));
    FillRandom(image, varnox::kLowerFlashStart, varnox::kLowerFlashEnd, stream);
    FillRandom(image, varnox::kUpperFlashStart, varnox::kUpperFlashEnd, stream);
    FillRandom(image, varnox::kEepromImageStart, first_entry.EndAddress, stream);
    for (std::size_t i = 0; i < identity->Bytes.size(); ++i) {
        image[varnox::kIdentityAddress + i] = identity->Bytes[i];
    }
    return WriteFile(folder + "/" + image_name + ".bin", image);
}

bool WriteMicroKernel(const std::string& folder)
{
    std::vector<uint8_t> image(varnox::kMicroKernelSize, 0);
    ByteStream stream(kSeed ^ NameHash("MICROK"));
    FillRandom(image, 0x0400, 0x098F, stream);  // the loader
    FillRandom(image, 0xFFFC, 0xFFFF, stream);  // data that is never sent
    return WriteFile(folder + "/MICROK.bin", image);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_images <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    bool ok = true;
    std::set<std::string> written;
    // Each image carries the identity of the first catalogue entry selecting it.
    for (const varnox::CatalogueEntry& entry : varnox::FirmwareCatalogue) {
        if (!written.insert(entry.Image).second)
            continue;
        ok = WriteFirmwareImage(folder, entry) && ok;
    }
    ok = WriteMicroKernel(folder) && ok;
    return ok ? 0 : 1;
}
