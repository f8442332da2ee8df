#pragma once
// A WindowOps that remembers what was shown, for tests: the log, the gauge,
// the four fields, the button, and every message box in order. Thread-safe,
// so an engine may run on another thread than the test.

#include <mutex>
#include <string>
#include <vector>

#include "update/window_ops.h"

namespace varnox::testing {

struct ShownBox {
    BoxIcon Icon;
    std::string Title;
    std::string Text;
    std::string Detail;
    std::size_t LogLinesBefore;  // how many log lines existed when it was shown
};

class RecordingWindow : public WindowOps {
public:
    void LogLine(const std::string& text) override
    {
        Locked([&] { log.push_back(text); });
    }
    void ClearLog() override
    {
        Locked([&] {
            log.clear();
            ++log_clears;
        });
    }
    void SetGaugeVisible(bool visible) override
    {
        Locked([&] { gauge_visible = visible; });
    }
    void SetGaugeProgress(int progress) override
    {
        Locked([&] { gauge_progress = progress; });
    }
    void SetGaugeMaximum(int maximum) override
    {
        Locked([&] { gauge_maximum = maximum; });
    }
    void RepaintGauge() override
    {
        Locked([&] { ++gauge_repaints; });
    }
    void SetFieldText(Field field, const std::string& text) override
    {
        Locked([&] {
            switch (field) {
            case Field::PanelType: panel_type = text; break;
            case Field::Address: address = text; break;
            case Field::FlashAddress: flash_address = text; break;
            case Field::ErrorCounter: error_counter = text; break;
            }
        });
    }
    void SetButtonEnabled(bool enabled) override
    {
        Locked([&] { button_enabled = enabled; });
    }
    void ShowBox(const BoxText& box) override
    {
        Locked([&] { boxes.push_back({box.Icon, box.Title, box.Text, box.Detail, log.size()}); });
    }

    // What was shown. Read them when the engine is not running.
    std::vector<std::string> log;
    int log_clears = 0;
    bool gauge_visible = false;
    int gauge_progress = 0;
    int gauge_maximum = 100;
    int gauge_repaints = 0;
    std::string panel_type, address, flash_address, error_counter;
    bool button_enabled = true;
    std::vector<ShownBox> boxes;

private:
    template <typename F>
    void Locked(F&& f)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        f();
    }
    std::mutex mutex_;
};

}  // namespace varnox::testing
