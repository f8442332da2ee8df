// The firmware names the tool serves and the image each selects. The KE name
// has no image of its own: it loads the KA image of row 1.

#include "firmware/catalogue.h"

#include <algorithm>

namespace varnox {

namespace {
constexpr uint32_t kEnd192536 = 192535;  // 0x2F017
constexpr uint32_t kEnd188028 = 188027;  // 0x2DE7B
constexpr uint32_t kEnd169996 = 169995;  // 0x2980B
constexpr uint32_t kEnd160980 = 160979;  // 0x274D3
}  // namespace

const std::array<CatalogueEntry, 22> FirmwareCatalogue = {{
    {"FWKA1AVRXGAA0I_2x04", "FWKA1AVRXGAA0I_2x04", kEnd192536},
    {"FWKA1AVRXSAA0I_2x04", "FWKA1AVRXSAA0I_2x04", kEnd192536},
    {"FWKA1BVRXGAA0I_2x04", "FWKA1BVRXGAA0I_2x04", kEnd192536},
    {"FWKA1BVRXSAA0I_2x04", "FWKA1BVRXSAA0I_2x04", kEnd192536},
    {"FWKA1DVRXGAA0I_2x04", "FWKA1DVRXGAA0I_2x04", kEnd188028},
    {"FWKA1DVRXSAA0I_2x04", "FWKA1DVRXSAA0I_2x04", kEnd188028},
    {"FWKC1CVRXG00WI_2x04", "FWKC1CVRXG00WI_2x04", kEnd192536},
    {"FWKC1CVRXS00WI_2x04", "FWKC1CVRXS00WI_2x04", kEnd192536},
    {"FWKC1CVRXG0AWI_2x04", "FWKC1CVRXG0AWI_2x04", kEnd192536},
    {"FWKC1CVRXS0AWI_2x04", "FWKC1CVRXS0AWI_2x04", kEnd192536},
    {"FWKDE0VRXGAA0I_2x04", "FWKDE0VRXGAA0I_2x04", kEnd192536},
    {"FWKDE0VRXSAA0I_2x04", "FWKDE0VRXSAA0I_2x04", kEnd192536},
    {"FWKE4AVRXGAA0I_2x04", "FWKA1AVRXGAA0I_2x04", kEnd192536},
    {"FWKBI0VRXGAA0I_2x04", "FWKBI0VRXGAA0I_2x04", kEnd192536},
    {"FWKF1AVRXGAA0I_2x04", "FWKF1AVRXGAA0I_2x04", kEnd192536},
    {"FWKF1AVRXSAA0I_2x04", "FWKF1AVRXSAA0I_2x04", kEnd192536},
    {"FWKA1EVRXGAA0I_2x04", "FWKA1EVRXGAA0I_2x04", kEnd169996},
    {"FWKA1EVRXSAA0I_2x04", "FWKA1EVRXSAA0I_2x04", kEnd169996},
    {"FWKA1AVRXGAAWI_2x04", "FWKA1AVRXGAAWI_2x04", kEnd192536},
    {"FWKA1AVRXSAAWI_2x04", "FWKA1AVRXSAAWI_2x04", kEnd192536},
    {"FWKAELVRXSAA0I_2x04", "FWKAELVRXSAA0I_2x04", kEnd160980},
    {"FWKAELVRXGAA0I_2x04", "FWKAELVRXGAA0I_2x04", kEnd160980},
}};

const CatalogueEntry* FindCatalogueEntry(const std::string& firmware_name)
{
    const auto found = std::find_if(FirmwareCatalogue.begin(), FirmwareCatalogue.end(),
                                    [&](const CatalogueEntry& entry) { return firmware_name == entry.Name; });
    return found == FirmwareCatalogue.end() ? nullptr : &*found;
}

}  // namespace varnox
