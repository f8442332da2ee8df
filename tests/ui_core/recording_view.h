#pragma once
// A window shell for the core's tests: records what the core and the engine
// show, closes boxes at once (after an optional hook), and lets the test's
// thread, as the window's thread, serve the core until a condition holds.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/core/main_window_core.h"
#include "ui/core/main_window_view.h"

namespace varnox::testing {

class RecordingView final : public MainWindowView {
public:
    void WakeWindowThread() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++wakes_;
        woken_.notify_all();
    }
    void ServeEvents() override { ++events_served; }
    void ShowBox(const BoxText& box) override
    {
        boxes.push_back(box);
        log_at_box.push_back(log.size());
        if (on_box)
            on_box(box);
    }
    void LogLine(const std::string& text) override
    {
        log.push_back(text);
        ++engine_operations;
    }
    void ClearLog() override
    {
        log.clear();
        ++engine_operations;
    }
    void SetGaugeVisible(bool visible) override
    {
        gauge_visible = visible;
        ++engine_operations;
    }
    void SetGaugeProgress(int) override { ++engine_operations; }
    void SetGaugeMaximum(int) override { ++engine_operations; }
    void RepaintGauge() override { ++engine_operations; }
    void SetFieldText(Field, const std::string&) override { ++engine_operations; }
    void EnableRunControls(bool button, bool port_menu) override
    {
        button_enabled = button;
        port_menu_enabled = port_menu;
    }
    void EnablePortItem(int port, bool enabled) override { port_items.at(port - 1) = enabled; }
    void SetButtonText(const std::string& text) override { button_text = text; }
    void SetInfoBoxVisible(bool visible) override { info_box_visible = visible; }
    int SelectorIndex() const override { return selector_index; }
    void RunEnded() override { ++runs_ended; }
    std::optional<std::string> AskTechnician(const std::string&) override
    {
        ++dialogs;
        return std::nullopt;
    }
    std::string ChooseTraceFile() override
    {
        ++dialogs;
        return trace_file;
    }
    void ShowAbout(const std::string& text) override { about = text; }
    void ShowVerdictBand(VerdictColour colour, const std::string& text) override
    {
        band = colour;
        band_text = text;
    }
    void HideVerdictBand() override { band.reset(); }

    // The test's thread serves `core` until `done` holds; false after 60 s.
    bool ServeUntil(MainWindowCore& core, const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            core.ServeOperations();
            if (done())
                return true;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::unique_lock<std::mutex> lock(mutex_);
            woken_.wait_for(lock, std::chrono::milliseconds(5), [this] { return wakes_ > 0; });
            wakes_ = 0;
        }
    }

    std::vector<std::string> log;
    std::vector<BoxText> boxes;
    std::vector<std::size_t> log_at_box;  // log lines on screen when each box opened
    std::function<void(const BoxText&)> on_box;
    int engine_operations = 0;  // of the calls above (boxes aside)
    bool gauge_visible = false;
    bool button_enabled = true;
    bool port_menu_enabled = true;
    std::array<bool, kMenuPorts> port_items{};
    std::string button_text;
    bool info_box_visible = false;
    int selector_index = -1;
    int runs_ended = 0;
    int dialogs = 0;  // asked of the user (all cancelled)
    std::optional<VerdictColour> band;
    std::string band_text;
    std::string trace_file;  // what ChooseTraceFile answers; empty: cancelled
    std::string about;
    int events_served = 0;

private:
    std::mutex mutex_;
    std::condition_variable woken_;
    int wakes_ = 0;
};

}  // namespace varnox::testing
