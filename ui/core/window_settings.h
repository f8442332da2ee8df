#pragma once
// The window's choices kept between starts: the OPTIONS menu and the
// technician's name. Each window keeps them in its platform's place (Qt: an
// INI file under the user's config folder; Win32: the user's registry);
// the command line overrides them for one start without overwriting them.

#include <string>

#include "update/run_options.h"

namespace varnox {

struct WindowSettings {
    bool Fast = false;
    bool VerifyEeprom = false;
    bool KeepRecord = true;
    std::string TracePath;
    std::string Technician;

    bool operator==(const WindowSettings&) const = default;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Defaults where nothing is stored.
    virtual WindowSettings Load() = 0;
    virtual void Save(const WindowSettings& settings) = 0;
};

// What this start uses: the command line's options (`given`) over the stored
// choices, over the defaults. The command line can only turn an option on
// (--fast, --verify-eeprom, --no-record, --trace FILE), so what it does not
// name stays as stored.
WindowSettings WithCommandLine(const WindowSettings& stored, const RunOptions& given);

// The options of one run: `base` (the command line and the environment) with
// the window's current choices.
RunOptions RunOptionsFor(const RunOptions& base, const WindowSettings& settings);

}  // namespace varnox
