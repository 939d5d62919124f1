#include "shell/UserSettings.h"

#include <QSettings>

namespace vimra {

namespace {

const QString kApplication = QStringLiteral("vimra");
const QString kSection = QStringLiteral("Settings");

QString settingsKey(const QString& key) { return kSection + QLatin1Char('/') + key; }

} // namespace

QString GetSetting(const QString& key, const QString& defaultValue)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kApplication, kApplication);
    return settings.value(settingsKey(key), defaultValue).toString();
}

void SaveSetting(const QString& key, const QString& value)
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, kApplication, kApplication);
    settings.setValue(settingsKey(key), value);
}

} // namespace vimra
