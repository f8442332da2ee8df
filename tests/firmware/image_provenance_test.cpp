#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <fstream>
#include <regex>
#include <set>
#include <span>
#include <string>

#include "firmware/catalogue.h"
#include "firmware/image_provenance.h"

namespace varnox {
namespace {

// Computed here with OpenSSL, independently of the digests CMake wrote.
std::string Sha256Hex(std::span<const uint8_t> bytes)
{
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(bytes.data(), bytes.size(), digest);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char b : digest) {
        hex += kHex[b >> 4];
        hex += kHex[b & 0xF];
    }
    return hex;
}

std::string Sha256Hex(const std::string& text)
{
    return Sha256Hex(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::span<const uint8_t> EmbeddedBytes(std::string_view name)
{
    return name == "MICROK" ? MicroKernelImage() : CarriedImage(std::string(name));
}

std::set<std::string> StandInRecordLines()
{
    std::ifstream record(VARNOX_STAND_IN_RECORD);
    std::set<std::string> lines;
    for (std::string line; std::getline(record, line);)
        lines.insert(line);
    return lines;
}

TEST(ImageProvenanceTest, EachDigestIsTheSha256OfTheEmbeddedImage)
{
    const std::span<const ImageDigest> digests = CarriedImageDigests();
    ASSERT_EQ(digests.size(), 22u);
    std::vector<std::string> names;
    for (const ImageDigest& row : digests) {
        names.emplace_back(row.Name);
        const std::span<const uint8_t> bytes = EmbeddedBytes(row.Name);
        ASSERT_FALSE(bytes.empty()) << row.Name;
        EXPECT_EQ(row.Sha256, Sha256Hex(bytes)) << row.Name;
        EXPECT_EQ(ImageSha256(row.Name), row.Sha256);
    }
    std::vector<std::string> expected = CarriedImageNames();
    expected.push_back("MICROK");
    EXPECT_EQ(names, expected);
    EXPECT_EQ(ImageSha256("FWKE4AVRXGAA0I_2x04"), "") << "a catalogue name, not an image";
    EXPECT_EQ(ImageSha256(""), "");
}

TEST(ImageProvenanceTest, SetDigestIsTheSha256OfTheSha256sumLines)
{
    std::string manifest;
    for (const ImageDigest& row : CarriedImageDigests())
        manifest += Sha256Hex(EmbeddedBytes(row.Name)) + "  " + std::string(row.Name) + ".bin\n";
    EXPECT_EQ(ImageSetSha256(), Sha256Hex(manifest));
}

TEST(ImageProvenanceTest, StandInByContentAgainstTheRecord)
{
    const std::set<std::string> record = StandInRecordLines();
    ASSERT_EQ(record.size(), 22u);
    bool any_stand_in = false;
    for (const ImageDigest& row : CarriedImageDigests()) {
        const std::string line = std::string(row.Sha256) + "  " + std::string(row.Name) + ".bin";
        EXPECT_EQ(row.StandIn, record.count(line) == 1) << row.Name;
        any_stand_in = any_stand_in || row.StandIn;
    }
    EXPECT_EQ(CarriesStandInImages(), any_stand_in);
}

TEST(ImageProvenanceTest, FirmwareNameLeadsToItsImagesDigest)
{
    const std::optional<FirmwareImageRecord> shared = ImageOfFirmware("FWKE4AVRXGAA0I_2x04");
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->Image, "FWKA1AVRXGAA0I_2x04");
    EXPECT_EQ(shared->Sha256, Sha256Hex(CarriedImage("FWKA1AVRXGAA0I_2x04")));

    for (const CatalogueEntry& entry : FirmwareCatalogue) {
        const std::optional<FirmwareImageRecord> record = ImageOfFirmware(entry.Name);
        ASSERT_TRUE(record) << entry.Name;
        EXPECT_EQ(record->Image, entry.Image);
        EXPECT_EQ(record->Sha256, ImageSha256(entry.Image));
    }
    EXPECT_FALSE(ImageOfFirmware("MICROK"));
    EXPECT_FALSE(ImageOfFirmware("fwka1avrxgaa0i_2x04"));
    EXPECT_FALSE(ImageOfFirmware(""));
}

TEST(ImageProvenanceTest, VersionTextNamesImagesAndSource)
{
    const std::string text = VersionText("varnox-patch-cli");
    EXPECT_TRUE(std::regex_match(text, std::regex("varnox-patch-cli 2\\.04\n"
                                                  "images: (stand-in|real), set sha256 [0-9a-f]{64}\n"
                                                  "commit ([0-9a-f]{12}(\\+changes)?|unknown), "
                                                  "built ([0-9]{4}-[0-9]{2}-[0-9]{2}|unknown)\n")))
        << text;
    const std::string label = CarriesStandInImages() ? "stand-in" : "real";
    EXPECT_NE(text.find("images: " + label + ", set sha256 " + std::string(ImageSetSha256()) + "\n"),
              std::string::npos);
}

}  // namespace
}  // namespace varnox
