#include "trace/wire_transcript.h"

#include <cerrno>
#include <cstring>

namespace varnox {
namespace {

// Longer than the 0.29 ms a byte takes on the line, shorter than any reply delay.
constexpr double kSameLineGap = 0.002;

}  // namespace

bool WireTranscript::Open(const std::string& path, double origin, const std::string& events, std::string& error)
{
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    origin_ = origin;
    write_failure_.clear();  // a new file: its own writes tell
    std::fprintf(file_.get(), "# seconds, '>' tool to panel, '<' panel to tool, '#' %s\n", events.c_str());
    Flush();
    return true;
}

void WireTranscript::Log(WireDirection direction, double time, std::span<const uint8_t> bytes)
{
    if (!file_ || bytes.empty())
        return;
    if (line_.empty() || direction != line_direction_ || time - last_byte_ > kSameLineGap) {
        EndLine();
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%12.6f %c", time - origin_,
                      direction == WireDirection::ToPanel ? '>' : '<');
        line_ = stamp;
        line_direction_ = direction;
    }
    for (const uint8_t b : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", b);
        line_ += hex;
    }
    last_byte_ = time;
}

void WireTranscript::Note(double time, const std::string& text)
{
    if (!file_)
        return;
    EndLine();
    std::fprintf(file_.get(), "%12.6f # %s\n", time - origin_, text.c_str());
    Flush();
}

void WireTranscript::EndLine()
{
    if (!file_ || line_.empty())
        return;
    std::fprintf(file_.get(), "%s\n", line_.c_str());
    line_.clear();
    // Flushed line by line, so that a transcript survives the program being killed.
    Flush();
}

void WireTranscript::Flush()
{
    errno = 0;
    if ((std::fflush(file_.get()) != 0 || std::ferror(file_.get()) != 0) && write_failure_.empty())
        write_failure_ = errno != 0 ? std::strerror(errno) : "write failed";
    std::clearerr(file_.get());
}

}  // namespace varnox
