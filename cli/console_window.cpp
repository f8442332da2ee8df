#include "cli/console_window.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#endif
#include <unistd.h>

#include <cerrno>

namespace varnox {

namespace {

// Often enough to look alive, seldom enough to cost nothing.
constexpr double kRedrawInterval = 0.1;
constexpr int kFallbackWidth = 80;
constexpr const char* kEraseLine = "\r\x1b[K";

int TerminalWidth(int fd)
{
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const HANDLE console = GetStdHandle(fd == STDOUT_FILENO ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (GetConsoleScreenBufferInfo(console, &info) && info.srWindow.Right >= info.srWindow.Left)
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    return kFallbackWidth;
}

}  // namespace

void WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

ConsoleWindow::ConsoleWindow(int out_fd, int err_fd, bool show_status, Clock& clock)
    : out_fd_(out_fd), err_fd_(err_fd), show_status_(show_status), clock_(clock), start_(clock.Now())
{
}

void ConsoleWindow::LogLine(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Erase();
    WriteAll(out_fd_, text + "\n");
    Draw(true);
}

void ConsoleWindow::SetGaugeVisible(bool visible)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_.gauge_visible = visible;
    Draw(true);
}

void ConsoleWindow::SetGaugeProgress(int progress)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_.progress = progress;
    rate_.Record(progress, clock_.Now());
}

void ConsoleWindow::SetGaugeMaximum(int maximum)
{
    std::lock_guard<std::mutex> lock(mutex_);
    state_.maximum = maximum;
    rate_.Restart(clock_.Now());
}

void ConsoleWindow::RepaintGauge()
{
    std::lock_guard<std::mutex> lock(mutex_);
    Draw(false);
}

void ConsoleWindow::SetFieldText(Field field, const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    switch (field) {
    case Field::PanelType: state_.panel_type = text; break;
    case Field::Address: state_.address = text; break;
    case Field::FlashAddress: state_.flash_address = text; break;
    case Field::ErrorCounter: state_.error_counter = text; break;
    }
    Draw(false);
}

void ConsoleWindow::ShowBox(const BoxText& box)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Erase();
    WriteAll(err_fd_, box.Detail.empty() ? box.Text + "\n" : box.Text + "\n" + box.Detail + "\n");
    Draw(true);
}

void ConsoleWindow::Notice(const std::vector<std::string>& lines)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Erase();
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    WriteAll(err_fd_, text);
    Draw(true);
}

void ConsoleWindow::Tick()
{
    std::lock_guard<std::mutex> lock(mutex_);
    Draw(true);
}

void ConsoleWindow::Finish()
{
    std::lock_guard<std::mutex> lock(mutex_);
    Erase();
    show_status_ = false;
}

void ConsoleWindow::Draw(bool force)
{
    if (!show_status_)
        return;
    const double now = clock_.Now();
    if (!force && now - last_draw_ < kRedrawInterval)
        return;
    last_draw_ = now;
    state_.elapsed = now - start_;
    state_.remaining = state_.gauge_visible ? rate_.Remaining(state_.maximum, now) : std::nullopt;
    WriteErr(std::string("\r") + FormatStatusLine(state_, TerminalWidth(err_fd_)) + "\x1b[K");
    drawn_ = true;
}

void ConsoleWindow::Erase()
{
    if (!drawn_)
        return;
    WriteErr(kEraseLine);
    drawn_ = false;
}

void ConsoleWindow::WriteErr(const std::string& text)
{
    WriteAll(err_fd_, text);
}

}  // namespace varnox
