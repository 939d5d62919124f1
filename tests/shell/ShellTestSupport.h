#pragma once

#include "records/AppState.h"
#include "resources/StringTable.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vimra::test {

// Runs the event loop until `done` holds or `ms` have passed; answers `done`.
inline bool waitFor(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Each shell test starts from a clean program state: no document, English
// texts, no per-user settings, and machine settings in a file of its own.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appState().reset();
        StringTable::setLanguage(StringTable::Language::English);
        QSettings(QSettings::IniFormat, QSettings::UserScope, "vimra", "vimra").clear();
        ASSERT_TRUE(m_dir.isValid());
        m_savedConfig = qgetenv("VIMRA_CONFIG");
        qputenv("VIMRA_CONFIG", m_dir.filePath("vimra.conf").toUtf8());
    }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        appState().reset();
        StringTable::resetLanguage();
        qputenv("VIMRA_CONFIG", m_savedConfig);
    }

    // Writes the machine-wide settings file with the given vocabulary path.
    void writeMachineSettings(const QString& vocabularyPath)
    {
        QSettings s(m_dir.filePath("vimra.conf"), QSettings::IniFormat);
        s.setValue("Vimra/ThematicKeywordsPath", vocabularyPath);
    }

    QTemporaryDir m_dir;
    QByteArray m_savedConfig;
};

} // namespace vimra::test
