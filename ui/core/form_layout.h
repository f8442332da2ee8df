#pragma once
// The main window's controls as both windows build them: name, identifier,
// place in pixels at 96 dpi relative to the client area (the INFO BOX's
// controls relative to the box), font, text colour, state and tab order. A
// width or height of 0 leaves the control its natural size (a label's text
// decides).

#include <array>

#include "ui/core/form_texts.h"

namespace varnox {

// The dots per inch the layout's pixels are drawn for; a screen of another
// dpi gets them scaled (ui/core/dpi_scale.h).
inline constexpr int kDesignDpi = 96;
inline constexpr int kClientWidth = 633;
inline constexpr int kClientHeight = 362;
inline constexpr int kFormLeft = 677;
inline constexpr int kFormTop = 157;
inline constexpr int kLogoWidth = 105;
inline constexpr int kLogoHeight = 86;
inline constexpr int kGaugeHeight = 25;

// Control identifiers (the native window's child ids); the port menu's
// items are kPortItemBase + n.
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

// The system's sans-serif dialog font at 8 pt, its bold and italic cuts, and
// the log's bold 10 pt.
enum class ControlFont { Dialog, Bold, Italic, Log };

enum class TextColour {
    System,       // the system's colour for the control
    Red,          // the log
    Blue,         // the language label
    ActiveTitle,  // the CONTINUE button: the active title bar's colour
};

struct ControlPlace {
    const char* Name;
    ControlId Id;
    bool InInfoBox;
    int Left;
    int Top;
    int Width;
    int Height;
    ControlFont Font;
    TextColour Colour;
    bool Visible;
    bool Enabled;      // the INFO BOX's fields are disabled for good: never focused or edited
    int TabOrder;      // 1, 2, ...: the controls Tab moves through; 0: none
    const char* Text;  // the caption it is created with (UTF-8)
};

// In the order of the window's definition: later controls lie above earlier
// ones.
inline constexpr std::array<ControlPlace, 17> kControlPlaces = {{
    {"Shape1", kShape1, false, 16, 16, 113, 105, ControlFont::Dialog, TextColour::System, true, true, 0, ""},
    {"Gauge1", kGauge1, false, 0, 337, 633, 25, ControlFont::Dialog, TextColour::System, false, true, 0, ""},
    {"Bevel1", kBevel1, false, 8, 8, 129, 121, ControlFont::Dialog, TextColour::System, true, true, 0, ""},
    {"Image1", kImage1, false, 32, 24, 105, 86, ControlFont::Dialog, TextColour::System, true, true, 0, ""},
    {"Label1", kLabel1, false, 8, 176, 0, 0, ControlFont::Bold, TextColour::Blue, false, true, 0, kLanguageLabel},
    {"Button5", kButton5, false, 8, 136, 185, 33, ControlFont::Bold, TextColour::ActiveTitle, true, true, 1,
     kStoredButtonCaption},
    {"Messaggio", kMessaggio, false, 232, 8, 385, 217, ControlFont::Log, TextColour::Red, true, true, 2, ""},
    {"ComboBox1", kComboBox1, false, 8, 192, 185, 0, ControlFont::Dialog, TextColour::System, false, true, 3, ""},
    {"DEBUG_BOX", kDebugBox, false, 16, 232, 601, 97, ControlFont::Dialog, TextColour::System, false, true, 0,
     kInfoBoxTitle},
    {"Label4", kLabel4, true, 8, 21, 0, 0, ControlFont::Dialog, TextColour::System, true, true, 0,
     kPanelTypeLabel},
    {"panelTypebox", kPanelTypebox, true, 8, 40, 241, 21, ControlFont::Dialog, TextColour::System, true, false, 0,
     ""},
    {"Label2", kLabel2, true, 320, 13, 0, 0, ControlFont::Dialog, TextColour::System, true, true, 0,
     kEepromAddressLabel},
    {"Address", kAddress, true, 520, 8, 73, 21, ControlFont::Italic, TextColour::System, true, false, 0, ""},
    {"Label3", kLabel3, true, 328, 37, 0, 0, ControlFont::Dialog, TextColour::System, true, true, 0,
     kFlashAddressLabel},
    {"FlashAddress", kFlashAddress, true, 520, 32, 73, 21, ControlFont::Italic, TextColour::System, true, false, 0,
     ""},
    {"Label5", kLabel5, true, 464, 61, 0, 0, ControlFont::Dialog, TextColour::System, true, true, 0, kErrorsLabel},
    {"ErrorCounter", kErrorCounter, true, 520, 58, 75, 21, ControlFont::Italic, TextColour::System, true, false, 0,
     ""},
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
