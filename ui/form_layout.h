#pragma once
// Where each control of the main window sits, in pixels at 96 dpi, relative
// to the client area (the INFO BOX's controls relative to the box). A width
// or height of 0 leaves the control its natural size.

#include <array>

namespace varnox {

inline constexpr int kClientWidth = 633;
inline constexpr int kClientHeight = 362;
inline constexpr int kFormLeft = 677;
inline constexpr int kFormTop = 157;
inline constexpr int kLogoWidth = 105;
inline constexpr int kLogoHeight = 86;
inline constexpr int kGaugeHeight = 25;

struct ControlPlace {
    const char* Name;
    int Left;
    int Top;
    int Width;
    int Height;
};

inline constexpr std::array<ControlPlace, 17> kControlPlaces = {{
    {"Shape1", 16, 16, 113, 105},
    {"Gauge1", 0, 337, 633, 25},
    {"Bevel1", 8, 8, 129, 121},
    {"Image1", 32, 24, 105, 86},
    {"Label1", 8, 176, 0, 0},
    {"Button5", 8, 136, 185, 33},
    {"Messaggio", 232, 8, 385, 217},
    {"ComboBox1", 8, 192, 185, 0},
    {"DEBUG_BOX", 16, 232, 601, 97},
    {"Label4", 8, 21, 0, 0},
    {"panelTypebox", 8, 40, 241, 21},
    {"Label2", 320, 13, 0, 0},
    {"Address", 520, 8, 73, 21},
    {"Label3", 328, 37, 0, 0},
    {"FlashAddress", 520, 32, 73, 21},
    {"Label5", 464, 61, 0, 0},
    {"ErrorCounter", 520, 58, 75, 21},
}};

}  // namespace varnox
