#pragma once
// Gauge1: a comctl32 progress bar, painted black on white with the whole
// percentage done centred in it (GaugeText, core/gauge_percent.h). It
// keeps progress and maximum itself, so a progress set before its maximum is
// never clamped away.

#include <windows.h>

namespace varnox {

class Gauge {
public:
    Gauge() = default;
    Gauge(const Gauge&) = delete;
    Gauge& operator=(const Gauge&) = delete;
    ~Gauge();

    // Creates the bar as child `id` of `parent`; the parent places it.
    bool Create(HWND parent, int id);
    HWND Handle() const { return bar_; }
    // The font of its text; the caller keeps it alive.
    void SetFont(HFONT font);

    void SetProgress(int progress);
    void SetMaximum(int maximum);
    int Progress() const { return progress_; }
    int Maximum() const { return maximum_; }

private:
    static LRESULT CALLBACK Paint(HWND bar, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                  DWORD_PTR self);
    void Draw(HDC dc) const;
    void Apply();

    HWND bar_ = nullptr;
    HFONT font_ = nullptr;
    int progress_ = 0;
    int maximum_ = 100;
};

}  // namespace varnox
