#include "ui/core/about_text.h"

#include "firmware/image_provenance.h"
#include "update/update_engine.h"

namespace varnox {

std::string AboutText(const std::string& record_place, const std::vector<std::string>& libraries)
{
    std::string text = std::string(kProgramName) + " " + std::string(ProgramVersion()) + "\n\n";
    text += std::string("Firmware images: ") + (CarriesStandInImages() ? "stand-in" : "real") + "\n";
    text += "Image set SHA-256: " + std::string(ImageSetSha256()) + "\n\n";
    text += "Run record: " + record_place + "\n\n";
    text += "Built with:\n";
    for (const std::string& library : libraries)
        text += "  " + library + "\n";
    return text;
}

std::vector<std::string> CoreLibraries()
{
    return {"nlohmann/json (MIT licence)",
            "the C++ standard library of GCC (GPLv3 with the GCC Runtime Library Exception)"};
}

}  // namespace varnox
