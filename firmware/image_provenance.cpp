#include "firmware/image_provenance.h"

namespace varnox {

std::string VersionText(const std::string& program)
{
    return program + " " VARNOX_VERSION "\n";
}

}  // namespace varnox
