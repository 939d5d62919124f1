#include "records/Settings.h"

#include "records/FileStamp.h"
#include "records/Procedures.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vimra {

namespace {

const QString kGroup = QStringLiteral("Vimra");

// The settings file opened on its group, or nothing when the file or the
// group is missing: QSettings would create either, and the program never must.
std::unique_ptr<QSettings> openKey()
{
    const QString path = settingsFilePath();
    if (!QFileInfo(path).isFile())
        return nullptr;
    auto settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    if (settings->status() != QSettings::NoError || !settings->childGroups().contains(kGroup))
        return nullptr;
    settings->beginGroup(kGroup);
    return settings;
}

// The group's values as last read. Opening a document asks for the schema's
// path once per object: the file is read again only when it may have changed.
struct GroupCache {
    QString path;
    FileStamp stamp;
    quint64 checkedIn = 0; // the scope that last read or checked the file
    std::optional<QHash<QString, QVariant>> values; // none: no file or no group
};

GroupCache& groupCache()
{
    static GroupCache cache;
    return cache;
}

const std::optional<QHash<QString, QVariant>>& readGroup()
{
    GroupCache& cache = groupCache();
    // Within a scope the file is the one it first found, under the name the
    // environment gave then.
    if (StampScope::current() && cache.checkedIn == StampScope::current())
        return cache.values;
    const QString path = settingsFilePath();
    const FileStamp now = FileStamp::of(path);
    cache.checkedIn = StampScope::current();
    if (path == cache.path && cache.stamp.bUnchanged(now))
        return cache.values;
    cache.path = path;
    cache.stamp = now;
    cache.values.reset();
    if (const auto settings = openKey()) {
        QHash<QString, QVariant> values;
        for (const QString& key : settings->allKeys())
            values.insert(key, settings->value(key));
        cache.values = std::move(values);
    }
    return cache.values;
}

// Writes all values or none.
bool writeValues(const std::vector<std::pair<QString, QString>>& values)
{
    const auto settings = openKey();
    if (!settings)
        return false;
    groupCache().stamp = FileStamp();
    groupCache().checkedIn = 0;
    for (const auto& [name, value] : values)
        settings->setValue(name, value);
    settings->endGroup();
    settings->sync();
    return settings->status() == QSettings::NoError;
}

} // namespace

QString settingsFilePath()
{
    const QString fromEnv = qEnvironmentVariable("VIMRA_CONFIG");
    return fromEnv.isEmpty() ? QStringLiteral(VIMRA_DEFAULT_CONFIG) : fromEnv;
}

QString strSettingsFileProblem()
{
    const QString path = settingsFilePath();
    const QFileInfo info(path);
    if (!info.exists())
        return text(msg::SettingsFileNotFound) + QLatin1Char(' ') + path;
    if (!info.isFile())
        return strFailedOn(text(msg::SettingsFileNotRead), path, text(msg::NotRegularFile));
    // QSettings reads an unreadable file as an empty one.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return strFailedOn(text(msg::SettingsFileNotRead), path, file.errorString());
    if (!readGroup())
        return strFailedOn(text(msg::SettingsFileNotRead), path, text(msg::SettingsNoGroup));
    return {};
}

bool bRegQueryValue(const QString& valueName, QString& value)
{
    value.clear();
    const auto& values = readGroup();
    const auto found = values ? values->constFind(valueName) : QHash<QString, QVariant>::const_iterator();
    if (!values || found == values->constEnd())
        return false;
    const QVariant stored = *found;
    // An unquoted comma makes the INI reader split the text into a list.
    value = stored.typeId() == QMetaType::QStringList ? stored.toStringList().join(QLatin1Char(','))
                                                      : stored.toString();
    return true;
}

void RegSaveValue(const QString& valueName, const QString& value)
{
    writeValues({{valueName, value}});
}

QString strGetXSDPath()
{
    QString value;
    bRegQueryValue(QStringLiteral("XSDPath"), value);
    return value;
}

QString strGetThematicKeywordsPath()
{
    QString value;
    bRegQueryValue(QStringLiteral("ThematicKeywordsPath"), value);
    return value;
}

bool vReadConnectionSettings(QString& server, int& port, QString& dmName, QString& http)
{
    bool ok = bRegQueryValue(QStringLiteral("TolvServer"), server);
    QString portText;
    ok = bRegQueryValue(QStringLiteral("TolvPort"), portText) && ok;
    ok = bRegQueryValue(QStringLiteral("DMName"), dmName) && ok;
    ok = bRegQueryValue(QStringLiteral("HTTPServer"), http) && ok;

    const auto number = strictInt16(portText);
    if (!number)
        return false;
    port = *number;
    return ok;
}

bool SaveConnectionSettings(const QString& server, int port, const QString& dmName,
                            const QString& http)
{
    return writeValues({{QStringLiteral("TolvServer"), server},
                        {QStringLiteral("TolvPort"), QString::number(port)},
                        {QStringLiteral("DMName"), dmName},
                        {QStringLiteral("HTTPServer"), http}});
}

} // namespace vimra
