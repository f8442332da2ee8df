#include "ui/core/window_settings.h"

namespace varnox {

WindowSettings WithCommandLine(const WindowSettings& stored, const RunOptions& given)
{
    WindowSettings settings = stored;
    settings.Fast = stored.Fast || given.Fast;
    settings.VerifyEeprom = stored.VerifyEeprom || given.VerifyEeprom;
    settings.KeepRecord = stored.KeepRecord && !given.NoRecord;
    if (!given.TraceFile.empty())
        settings.TracePath = given.TraceFile;
    return settings;
}

RunOptions RunOptionsFor(const RunOptions& base, const WindowSettings& settings)
{
    RunOptions options = base;
    options.Fast = settings.Fast;
    options.VerifyEeprom = settings.VerifyEeprom;
    options.NoRecord = !settings.KeepRecord;
    options.TraceFile = settings.TracePath;
    return options;
}

}  // namespace varnox
