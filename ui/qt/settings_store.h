#pragma once
// The window's settings kept between starts with QSettings, in an INI file:
// by default ~/.config/varnox-patch/varnox-patch.ini (under $XDG_CONFIG_HOME
// when that is set).

#include <QString>

#include "ui/core/window_settings.h"

namespace varnox {

class QtSettingsStore final : public SettingsStore {
public:
    // The user's file.
    QtSettingsStore();
    // Another file (tests).
    explicit QtSettingsStore(const QString& file) : file_(file) {}

    WindowSettings Load() override;
    void Save(const WindowSettings& settings) override;
    const QString& File() const { return file_; }

private:
    QString file_;
};

}  // namespace varnox
