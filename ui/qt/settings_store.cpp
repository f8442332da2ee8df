#include "ui/qt/settings_store.h"

#include <QSettings>

namespace varnox {

namespace {

const QString kFast = QStringLiteral("options/fast");
const QString kVerifyEeprom = QStringLiteral("options/verify_eeprom");
const QString kKeepRecord = QStringLiteral("options/keep_run_record");
const QString kTracePath = QStringLiteral("options/trace_file");
const QString kTechnician = QStringLiteral("technician/name");

}  // namespace

QtSettingsStore::QtSettingsStore()
    : file_(QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("varnox-patch"),
                      QStringLiteral("varnox-patch"))
                .fileName())
{
}

WindowSettings QtSettingsStore::Load()
{
    const QSettings stored(file_, QSettings::IniFormat);
    const WindowSettings defaults;
    WindowSettings settings;
    settings.Fast = stored.value(kFast, defaults.Fast).toBool();
    settings.VerifyEeprom = stored.value(kVerifyEeprom, defaults.VerifyEeprom).toBool();
    settings.KeepRecord = stored.value(kKeepRecord, defaults.KeepRecord).toBool();
    settings.TracePath = stored.value(kTracePath).toString().toStdString();
    settings.Technician = stored.value(kTechnician).toString().toStdString();
    return settings;
}

void QtSettingsStore::Save(const WindowSettings& settings)
{
    QSettings stored(file_, QSettings::IniFormat);
    stored.setValue(kFast, settings.Fast);
    stored.setValue(kVerifyEeprom, settings.VerifyEeprom);
    stored.setValue(kKeepRecord, settings.KeepRecord);
    stored.setValue(kTracePath, QString::fromStdString(settings.TracePath));
    stored.setValue(kTechnician, QString::fromStdString(settings.Technician));
    stored.sync();
}

}  // namespace varnox
