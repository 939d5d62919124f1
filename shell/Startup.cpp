#include "shell/Startup.h"

#include "platform/FileWrite.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/Settings.h"
#include "records/ThematicKeywords.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vimra {

QString strStripQuotes(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('"'));
    return parts.size() == 3 ? parts[1] : text;
}

void InstallQtTranslations(QObject& owner)
{
    if (StringTable::language() != StringTable::Language::Italian)
        return;
    auto* translator = new QTranslator(&owner);
    if (translator->load(QLocale(QLocale::Italian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

std::unique_ptr<frmMain> Main(const QStringList& arguments,
                              const std::function<void(frmMain&)>& plugIn)
{
    appState().strCommandLine = arguments.mid(1).join(QLatin1Char(' '));
    // What killed runs left in the temporary folder and in abandoned copies.
    fs::removeLeftovers();

    auto main = std::make_unique<frmMain>();
    if (plugIn)
        plugIn(*main);

    InstallQtTranslations(*main);
    // Settings that cannot be read make every path in them read as empty:
    // name the file and the reason before the messages that follow from it.
    if (const QString problem = strSettingsFileProblem(); !problem.isEmpty())
        prompts().MsgBox(problem, Prompts::OKOnly, Prompts::Exclamation);
    LoadThematicKeywords();
    appState().iCrossLanguage = 0;

    main->show();

    auto* splash = new frmSplash(main.get());
    splash->adjustSize();
    splash->move(main->geometry().center() - splash->rect().center());
    main->setSplash(splash);
    splash->show();
    // Draw it now: the command-line open below may take a while.
    splash->repaint();
    QCoreApplication::processEvents();

    if (!appState().strCommandLine.isEmpty()) {
        const QString path = strStripQuotes(appState().strCommandLine);
        // Quotes around nothing name no file.
        if (!path.isEmpty()) {
            // Absolute, so the document's identifiers survive a later change
            // of the current folder.
            appState().strCommandLine = QDir::cleanPath(QDir::current().absoluteFilePath(path));
            if (main->documentHooks.OpenFile)
                main->documentHooks.OpenFile(appState().strCommandLine);
        } else {
            appState().strCommandLine = path;
        }
    }
    return main;
}

} // namespace vimra
