#pragma once
// The window's choices kept between starts, in the user's part of the
// registry: HKEY_CURRENT_USER\Software\varnox-patch. Roams with the profile,
// needs no file, and goes with the user's account.

#include <string>

#include "ui/core/window_settings.h"

namespace varnox {

class RegistrySettings final : public SettingsStore {
public:
    // `key` under HKEY_CURRENT_USER; the tests give their own.
    explicit RegistrySettings(std::wstring key = kDefaultKey) : key_(std::move(key)) {}

    // A value missing or of another type keeps its default.
    WindowSettings Load() override;
    // Nothing is said when the key cannot be written: the choices then last
    // until the window closes, and a run never depends on them being kept.
    void Save(const WindowSettings& settings) override;

    static constexpr const wchar_t* kDefaultKey = L"Software\\varnox-patch";

private:
    std::wstring key_;
};

}  // namespace varnox
