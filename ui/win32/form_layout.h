#pragma once
// Where each control of the main window sits, in pixels at 96 dpi, relative
// to the client area (the INFO BOX's controls relative to the box), and its
// control identifier. A width or height of 0: the label's text decides.

#include <array>

namespace varnox {

inline constexpr int kClientWidth = 633;
inline constexpr int kClientHeight = 362;
inline constexpr int kFormLeft = 677;
inline constexpr int kFormTop = 157;
inline constexpr int kMenuPorts = 8;

// Control identifiers; the port menu's items are kPortItemBase + n.
enum ControlId : int {
    kShape1 = 100,
    kGauge1,
    kBevel1,
    kImage1,
    kLabel1,
    kButton5,
    kMessaggio,
    kComboBox1,
    kDebugBox,
    kLabel4,
    kPanelTypebox,
    kLabel2,
    kAddress,
    kLabel3,
    kFlashAddress,
    kLabel5,
    kErrorCounter,
    kPortItemBase = 200,
};

struct ControlPlace {
    const char* Name;
    ControlId Id;
    bool InInfoBox;
    int Left;
    int Top;
    int Width;
    int Height;
};

// In the order of the window's definition, which is also the tab order.
inline constexpr std::array<ControlPlace, 17> kControlPlaces = {{
    {"Shape1", kShape1, false, 16, 16, 113, 105},
    {"Gauge1", kGauge1, false, 0, 337, 633, 25},
    {"Bevel1", kBevel1, false, 8, 8, 129, 121},
    {"Image1", kImage1, false, 32, 24, 105, 86},
    {"Label1", kLabel1, false, 8, 176, 0, 0},
    {"Button5", kButton5, false, 8, 136, 185, 33},
    {"Messaggio", kMessaggio, false, 232, 8, 385, 217},
    {"ComboBox1", kComboBox1, false, 8, 192, 185, 0},
    {"DEBUG_BOX", kDebugBox, false, 16, 232, 601, 97},
    {"Label4", kLabel4, true, 8, 21, 0, 0},
    {"panelTypebox", kPanelTypebox, true, 8, 40, 241, 21},
    {"Label2", kLabel2, true, 320, 13, 0, 0},
    {"Address", kAddress, true, 520, 8, 73, 21},
    {"Label3", kLabel3, true, 328, 37, 0, 0},
    {"FlashAddress", kFlashAddress, true, 520, 32, 73, 21},
    {"Label5", kLabel5, true, 464, 61, 0, 0},
    {"ErrorCounter", kErrorCounter, true, 520, 58, 75, 21},
}};

constexpr const ControlPlace& PlaceOf(ControlId id)
{
    for (const ControlPlace& place : kControlPlaces) {
        if (place.Id == id)
            return place;
    }
    return kControlPlaces[0];
}

}  // namespace varnox
