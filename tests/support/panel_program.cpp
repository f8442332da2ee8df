#include "tests/support/panel_program.h"

#include <signal.h>

namespace varnox::testing {

namespace {

constexpr double kStartSeconds = 10.0;

}  // namespace

PanelProgram::PanelProgram(const std::string& program, std::vector<std::string> options)
{
    options.insert(options.begin(), program);
    if (child_.Start(options, start_error_))
        child_.ReadStdoutLine(port_, kStartSeconds);
}

std::string PanelProgram::NextLine(double timeout_seconds)
{
    std::string line;
    if (!child_.ReadStdoutLine(line, timeout_seconds))
        line.clear();
    return line;
}

ChildResult PanelProgram::Finish(double timeout_seconds)
{
    ChildResult result = child_.Finish(timeout_seconds);
    result.err.insert(0, start_error_);
    return result;
}

ChildResult PanelProgram::Stop()
{
    child_.Signal(SIGTERM);
    return Finish();
}

}  // namespace varnox::testing
