#include "shell/Startup.h"

#include "ShellTestSupport.h"
#include "records/ThematicKeywords.h"
#include "shell/frmMain.h"
#include "shell/frmSplash.h"
#include "support/FakePrompts.h"
#include "support/HangBound.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using namespace vimra;
using vimra::test::FakePrompts;

namespace {

class StartupTest : public vimra::test::ShellTest {};

// Keeps every message box open for a while, as a slow user would.
class SlowPrompts : public FakePrompts {
public:
    int MsgBox(const QString& text, Buttons buttons, Icon icon, const QString& title) override
    {
        vimra::test::waitFor([] { return false; }, 2600);
        return FakePrompts::MsgBox(text, buttons, icon, title);
    }
};

bool writeText(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool splashGone(const frmMain& w, int timeoutMs)
{
    return vimra::test::waitFor([&] { return w.splash() == nullptr; }, timeoutMs);
}

} // namespace

TEST(StripQuotes, OnlyExactlyTwoQuotesAreStripped)
{
    EXPECT_EQ(strStripQuotes("\"/home/me/My Film.xml\""), "/home/me/My Film.xml");
    EXPECT_EQ(strStripQuotes("/home/me/My Film.xml"), "/home/me/My Film.xml");
    EXPECT_EQ(strStripQuotes("-x \"a b.xml\" -y"), "a b.xml");
    EXPECT_EQ(strStripQuotes("\"a.xml\" \"b.xml\""), "\"a.xml\" \"b.xml\"");
    EXPECT_EQ(strStripQuotes("\"a.xml"), "\"a.xml");
    EXPECT_EQ(strStripQuotes(""), "");
}

TEST_F(StartupTest, WithoutVocabularyWarnsAndStartsAnyway)
{
    FakePrompts boxes;
    writeMachineSettings(m_dir.filePath("missing.xml"));
    appState().iCrossLanguage = 4;
    const auto w = Main({"vimra"});

    // The reader's own reason comes first; start-up's warning is the last word.
    ASSERT_FALSE(boxes.messages().isEmpty());
    EXPECT_EQ(boxes.messages().last(), text(1146));
    EXPECT_EQ(appState().objThematicKeywords, nullptr);
    EXPECT_EQ(appState().iCrossLanguage, 0);
    EXPECT_TRUE(w->isVisible());
    ASSERT_NE(w->splash(), nullptr);
    EXPECT_TRUE(w->splash()->isVisible());
    EXPECT_EQ(appState().strCommandLine, "");
}

TEST_F(StartupTest, WithoutTheSettingsFileNamesItOnceBeforeTheVocabularyWarning)
{
    FakePrompts boxes;
    const auto w = Main({"vimra"});
    const QStringList shown = boxes.messages();
    ASSERT_GE(shown.size(), 2);
    EXPECT_EQ(shown.first(), "Could not find the settings file: " + m_dir.filePath("vimra.conf"));
    EXPECT_EQ(shown.count(shown.first()), 1);
    EXPECT_EQ(shown.last(), text(1146));
}

TEST_F(StartupTest, SettingsThatCannotBeReadAreNamedWithTheReasonBeforeTheVocabularyWarning)
{
    const QString conf = m_dir.filePath("vimra.conf");
    const QString prefix = "Could not read the settings file " + conf + ": ";
    struct Case {
        const char* name;
        std::function<bool()> make; // false: the case cannot be made here
        QString expected;
    } const cases[] = {
        {"a folder", [&] { return QDir().mkpath(conf); },
         prefix + "not a regular file (a FIFO, device or folder), so it was not read"},
        {"no group", [&] { return writeText(conf, "[Other]\nThematicKeywordsPath=/v.xml\n"); },
         prefix + "it holds no [Vimra] group that can be read"},
        {"unreadable", [&] {
             // Permissions do not stop root.
             return writeText(conf, "[Vimra]\nThematicKeywordsPath=/v.xml\n")
                 && QFile::setPermissions(conf, {}) && !QFile(conf).open(QIODevice::ReadOnly);
         },
         prefix + "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::setPermissions(conf, QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(conf);
        QDir(conf).removeRecursively();
        if (!c.make())
            continue;
        FakePrompts boxes;
        const auto w = Main({"vimra"});
        const QStringList shown = boxes.messages();
        ASSERT_GE(shown.size(), 2);
        EXPECT_EQ(shown.first(), c.expected);
        EXPECT_EQ(shown.last(), text(1146));
    }
}

TEST_F(StartupTest, ItalianTextsReachQtsOwnButtonsWhileTheWindowLives)
{
    FakePrompts boxes;
    const auto cancel = [] {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Cancel);
        return box.button(QMessageBox::Cancel)->text();
    };
    StringTable::setLanguage(StringTable::Language::Italian);
    auto w = Main({"vimra"});
    EXPECT_EQ(cancel(), "Annulla");
    w.reset();
    EXPECT_EQ(cancel(), "Cancel");
}

TEST_F(StartupTest, WithVocabularyShowsNoMessageAndTheSplashClosesByTheTimer)
{
    FakePrompts boxes;
    writeMachineSettings(QStringLiteral(VIMRA_RESOURCES) + "/ThematicKeywords.xml");
    const auto w = Main({"vimra"});

    EXPECT_TRUE(boxes.calls.empty());
    EXPECT_NE(appState().objThematicKeywords, nullptr);
    frmSplash* splash = w->splash();
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(splash->lblProductName->text(), "vimra");
    EXPECT_EQ(splash->lblVersion->text(), "Version 3.0.1");
    EXPECT_EQ(splash->lblPlatform->text(), "Windows NT 5");
    EXPECT_EQ(splash->lblCompanyProduct->text(), text(1058));
    EXPECT_EQ(splash->lblCompanyProduct->font().pointSize(), 16);

    EXPECT_TRUE(splashGone(*w, test::kHangMs));
    EXPECT_FALSE(w->Timer1->isActive());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(StartupTest, SplashClosesEvenWhenTheWarningOutlastsTheTimer)
{
    SlowPrompts boxes;
    writeMachineSettings(m_dir.filePath("missing.xml"));
    const auto w = Main({"vimra"});
    ASSERT_FALSE(boxes.messages().isEmpty());
    EXPECT_EQ(boxes.messages().last(), text(1146));
    EXPECT_TRUE(splashGone(*w, test::kHangMs));
    EXPECT_FALSE(w->Timer1->isActive());
}

TEST_F(StartupTest, CommandLineFileIsOpenedUnquotedAndAbsolute)
{
    FakePrompts boxes;
    QStringList opened;
    const auto plugIn = [&](frmMain& w) {
        w.documentHooks.OpenFile = [&](const QString& path) {
            EXPECT_TRUE(w.isVisible()); // after the window and the splash are up
            EXPECT_NE(w.splash(), nullptr);
            opened << path;
        };
    };

    auto w = Main({"vimra", "\"/data/My", "Film.xml\""}, plugIn);
    EXPECT_EQ(opened, QStringList{"/data/My Film.xml"});
    EXPECT_EQ(appState().strCommandLine, "/data/My Film.xml");
    w.reset();

    opened.clear();
    w = Main({"vimra", "films/Film.xml"}, plugIn);
    EXPECT_EQ(opened, QStringList{QDir::current().absoluteFilePath("films/Film.xml")});
    w.reset();

    opened.clear();
    w = Main({"vimra"}, plugIn);
    EXPECT_TRUE(opened.isEmpty());
}
