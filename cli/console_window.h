#pragma once
// The window of the console tool: the log goes to standard output line by
// line, message boxes to standard error, and the gauge with the INFO BOX
// fields becomes one status line redrawn on standard error when that is a
// terminal. The engine calls it from its worker thread, the main thread for
// notices and the once-a-second refresh; one mutex keeps the output whole.

#include <mutex>
#include <string>
#include <vector>

#include "cli/status_line.h"
#include "core/clock.h"
#include "update/window_ops.h"

namespace varnox {

class ConsoleWindow final : public WindowOps {
public:
    // `show_status`: draw the status line on `err_fd` (only sensible on a terminal).
    ConsoleWindow(int out_fd, int err_fd, bool show_status, Clock& clock);

    void LogLine(const std::string& text) override;
    void ClearLog() override {}
    void SetGaugeVisible(bool visible) override;
    void SetGaugeProgress(int progress) override;
    void SetGaugeMaximum(int maximum) override;
    void RepaintGauge() override;
    void SetFieldText(Field field, const std::string& text) override;
    void SetButtonEnabled(bool) override {}
    // Prints the text (and the detail on the next line) and returns, as if OK was pressed.
    void ShowBox(const BoxText& box) override;

    // Lines of the tool's own on standard error (the Ctrl-C warning).
    void Notice(const std::vector<std::string>& lines);
    // Redraws the status line so the elapsed time moves during long pauses.
    void Tick();
    // Removes the status line for good.
    void Finish();

private:
    void Draw(bool force);
    void Erase();
    void WriteErr(const std::string& text);

    const int out_fd_;
    const int err_fd_;
    bool show_status_;
    Clock& clock_;
    const double start_;

    std::mutex mutex_;
    StatusState state_;
    ProgressRate rate_;
    bool drawn_ = false;
    double last_draw_ = -1e9;
};

// Writes all of `text` to `fd`, retrying after signals; other failures (a
// reader that went away) are ignored, since the update must go on.
void WriteAll(int fd, const std::string& text);

}  // namespace varnox
