#pragma once

#include <QString>

namespace vimra {

// The machine-wide settings: an INI file with one group "Vimra". The program
// reads it and writes the connection values into it, but never creates it;
// installing the program does.

// $VIMRA_CONFIG when set, else the file installing writes (the build's
// VIMRA_CONFIG_FILE, /etc/vimra/vimra.conf unless configured otherwise).
QString settingsFilePath();

// Why the settings cannot be read, naming the file: it is missing, not a
// regular file, unreadable or without its group. Empty when they can.
QString strSettingsFileProblem();

// Reads one value; on failure `value` becomes "" and the answer is false.
bool bRegQueryValue(const QString& valueName, QString& value);
// Writes one value when the file and its group exist; otherwise does nothing.
void RegSaveValue(const QString& valueName, const QString& value);

QString strGetXSDPath();              // "" when it cannot be read
QString strGetThematicKeywordsPath(); // "" when it cannot be read

// Reads server, port, data-manager name and http server. Every value is read
// even after a failure (a failed one becomes ""); the port is left as it was
// unless its text is a number that fits 16 bits. True when nothing failed.
bool vReadConnectionSettings(QString& server, int& port, QString& dmName, QString& http);
// Writes the four connection values; answers whether they were written.
bool SaveConnectionSettings(const QString& server, int port, const QString& dmName,
                            const QString& http);

} // namespace vimra
