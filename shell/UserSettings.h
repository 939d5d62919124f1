#pragma once

#include <QString>

namespace vimra {

// The per-user settings: application "vimra", section "Settings"; all values
// are text.
QString GetSetting(const QString& key, const QString& defaultValue = QString());
void SaveSetting(const QString& key, const QString& value);

} // namespace vimra
