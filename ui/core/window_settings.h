#pragma once
// The window's choices kept between starts (stand-in until the core's own
// arrives with the menus).

#include <string>

namespace varnox {

struct WindowSettings {
    bool Fast = false;
    bool VerifyEeprom = false;
    bool KeepRecord = true;
    std::string TracePath;
    std::string Technician;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual WindowSettings Load() = 0;  // defaults where nothing is stored
    virtual void Save(const WindowSettings&) = 0;
};

}  // namespace varnox
