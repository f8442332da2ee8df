#pragma once
// The verdict at a glance: a full-width band in the gauge's place once a run
// has ended, in the verdict's colour with its text, until the next run.

#include <windows.h>

#include <string>

#include "record/run_verdict.h"

namespace varnox {

// The band's child id in the main window (beside the layout's ControlId).
inline constexpr int kVerdictBandId = 130;

class VerdictBand {
public:
    VerdictBand() = default;
    VerdictBand(const VerdictBand&) = delete;
    VerdictBand& operator=(const VerdictBand&) = delete;
    ~VerdictBand();

    // Creates the band, hidden, as child `id` of `parent`; the parent places it.
    bool Create(HWND parent, int id);
    HWND Handle() const { return band_; }
    // The font of its text; the caller keeps it alive.
    void SetFont(HFONT font);

    void Show(VerdictColour colour, const std::string& text);
    void Hide();
    bool Shown() const { return band_ != nullptr && IsWindowVisible(band_); }
    VerdictColour Colour() const { return colour_; }

private:
    static LRESULT CALLBACK Paint(HWND band, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                  DWORD_PTR self);
    void Draw(HDC dc) const;

    HWND band_ = nullptr;
    HFONT font_ = nullptr;
    VerdictColour colour_ = VerdictColour::Grey;
};

// The band's fill and text colours for `colour`: readable on screen and in
// a screenshot printed in grey.
COLORREF BandFill(VerdictColour colour);
COLORREF BandInk(VerdictColour colour);

}  // namespace varnox
