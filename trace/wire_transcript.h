#pragma once
// A time-stamped hex log of everything on the wire, both directions:
//     12.345678 > 06 01 06 FE D0 97 00        (tool to panel)
//     12.365112 < 06 01 06 FE D0 97 01 ...    (panel to tool)
//     14.000000 # adapter pulled              (an event: the panel's, or the port's)
// The simulated panel writes one, and a tool's --trace another in the same
// lines, so that the two can be read side by side. Times are seconds since
// the transcript was opened. Bytes that follow one
// another in the same direction without a pause are one line, stamped with
// the first byte's time; a line is written once it is complete.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace varnox {

enum class WireDirection { ToPanel, ToTool };

class WireTranscript {
public:
    WireTranscript() = default;
    ~WireTranscript() { EndLine(); }
    WireTranscript(const WireTranscript&) = delete;
    WireTranscript& operator=(const WireTranscript&) = delete;

    // Creates (or empties) the file; false with the reason on failure.
    // `events` names what the '#' lines tell ("panel events") in the heading.
    bool Open(const std::string& path, double origin, const std::string& events, std::string& error);
    bool IsOpen() const { return file_ != nullptr; }
    // Ends the file; nothing is written until the next Open.
    void Close()
    {
        EndLine();
        file_.reset();
    }

    void Log(WireDirection direction, double time, std::span<const uint8_t> bytes);
    void Note(double time, const std::string& text);

    // The reason the first write that failed gave ("No space left on device"),
    // empty while every write went through. Writing goes on regardless.
    const std::string& WriteFailure() const { return write_failure_; }

private:
    void EndLine();
    // Flushes the file and keeps the first failure's reason.
    void Flush();

    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    double origin_ = 0;
    // The line being gathered.
    std::string line_;
    WireDirection line_direction_ = WireDirection::ToPanel;
    double last_byte_ = 0;
    std::string write_failure_;
};

}  // namespace varnox
