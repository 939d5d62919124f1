#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QObject;

namespace vimra {

class frmMain;

// The quote rule for the command line: a text holding exactly two double
// quotes gives what stands between them; any other text comes back unchanged.
QString strStripQuotes(const QString& text);

// Qt's own texts (standard buttons, file dialogs) in the language of the
// program's texts, for as long as `owner` lives.
void InstallQtTranslations(QObject& owner);

// Start-up: keeps the command line (the arguments after the program's own
// path, joined by blanks), creates and loads the main window, reads the
// vocabulary, shows the main window and the splash, and opens the file named
// on the command line through the window's OpenFile. `plugIn` runs on the
// new window before anything else happens to it: the document commands are
// installed there. The caller then runs the event loop.
std::unique_ptr<frmMain> Main(const QStringList& arguments,
                              const std::function<void(frmMain&)>& plugIn = {});

} // namespace vimra
