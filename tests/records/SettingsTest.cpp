#include "records/Settings.h"

#include "support/TestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vimra;

namespace {

// Points the program at a settings file in a fresh folder for one test.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_dir.filePath("vimra.conf");
        qputenv("VIMRA_CONFIG", m_path.toUtf8());
    }
    void TearDown() override { qunsetenv("VIMRA_CONFIG"); }

    void writeConfig(const QByteArray& content) { test::writeFile(m_path, content); }

    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace

TEST(SettingsPath, EnvironmentOrSystemDefault)
{
    qunsetenv("VIMRA_CONFIG");
    EXPECT_EQ(settingsFilePath(), "/etc/vimra/vimra.conf");
    qputenv("VIMRA_CONFIG", "/tmp/elsewhere.conf");
    EXPECT_EQ(settingsFilePath(), "/tmp/elsewhere.conf");
    qunsetenv("VIMRA_CONFIG");
}

TEST_F(SettingsTest, MissingFileReadsNothingAndCreatesNothing)
{
    EXPECT_EQ(strGetXSDPath(), "");
    EXPECT_EQ(strGetThematicKeywordsPath(), "");
    QString server = "s", dm = "d", http = "h";
    int port = 7;
    EXPECT_FALSE(vReadConnectionSettings(server, port, dm, http));
    EXPECT_EQ(server, "");
    EXPECT_EQ(dm, "");
    EXPECT_EQ(http, "");
    EXPECT_EQ(port, 7);

    EXPECT_FALSE(SaveConnectionSettings("host", 2509, "dm", "http"));
    RegSaveValue("XSDPath", "/x.xsd");
    EXPECT_FALSE(QFileInfo::exists(m_path));
}

TEST_F(SettingsTest, FileWithoutGroupIsLeftAlone)
{
    writeConfig("[Other]\nXSDPath=/x.xsd\n");
    EXPECT_EQ(strGetXSDPath(), "");
    EXPECT_FALSE(SaveConnectionSettings("host", 2509, "dm", "http"));
    QFile f(m_path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "[Other]\nXSDPath=/x.xsd\n");
}

TEST_F(SettingsTest, PathsAreReadExactly)
{
    // A text with a comma must be quoted in the file (QSettings writes it so).
    writeConfig("[Vimra]\nXSDPath=\"/usr/share/vimra/schema, v2.xsd\"\n"
                "ThematicKeywordsPath=/usr/share/vimra/ThematicKeywords.xml\nxsdpath=/wrong\n");
    EXPECT_EQ(strGetXSDPath(), "/usr/share/vimra/schema, v2.xsd");
    EXPECT_EQ(strGetThematicKeywordsPath(), "/usr/share/vimra/ThematicKeywords.xml");
    QString value = "old";
    EXPECT_FALSE(bRegQueryValue("xsdPath", value));
    EXPECT_EQ(value, "");
}

TEST_F(SettingsTest, PortRules)
{
    struct Case {
        const char* text;
        bool ok;
        int port;
    };
    const Case cases[] = {
        {"2509", true, 2509}, {" 2509 ", true, 2509}, {"2508.5", true, 2508}, {"2509.5", true, 2510},
        {"abc", false, 7},    {"70000", false, 7},    {"32768", false, 7},    {"", false, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        // A new file each time: QSettings caches a file it has read.
        QTemporaryDir dir;
        const QString path = dir.filePath("vimra.conf");
        ASSERT_NO_FATAL_FAILURE(test::writeFile(
            path, QByteArray("[Vimra]\nTolvServer=srv\nTolvPort=\"") + c.text + "\"\nDMName=/dm\nHTTPServer=web\n"));
        qputenv("VIMRA_CONFIG", path.toUtf8());
        QString server, dm, http;
        int port = 7;
        EXPECT_EQ(vReadConnectionSettings(server, port, dm, http), c.ok);
        EXPECT_EQ(port, c.port);
        EXPECT_EQ(server, "srv"); // the others are read whatever the port
        EXPECT_EQ(http, "web");
    }
}

TEST_F(SettingsTest, OneMissingValueFailsButTheRestAreRead)
{
    writeConfig("[Vimra]\nTolvPort=80\nDMName=/dm\nHTTPServer=web\n");
    QString server = "x", dm, http;
    int port = 0;
    EXPECT_FALSE(vReadConnectionSettings(server, port, dm, http));
    EXPECT_EQ(server, "");
    EXPECT_EQ(port, 80);
    EXPECT_EQ(dm, "/dm");
    EXPECT_EQ(http, "web");
}

TEST_F(SettingsTest, SaveAndReadBack)
{
    writeConfig("[Vimra]\nXSDPath=/s.xsd\n");
    EXPECT_TRUE(SaveConnectionSettings("server.example", 2509, "/data/manager", "http://web, two"));
    QString server, dm, http;
    int port = 0;
    EXPECT_TRUE(vReadConnectionSettings(server, port, dm, http));
    EXPECT_EQ(server, "server.example");
    EXPECT_EQ(port, 2509);
    EXPECT_EQ(dm, "/data/manager");
    EXPECT_EQ(http, "http://web, two");
    EXPECT_EQ(strGetXSDPath(), "/s.xsd"); // untouched values survive

    RegSaveValue("DMName", "/other");
    EXPECT_TRUE(bRegQueryValue("DMName", dm));
    EXPECT_EQ(dm, "/other");
}
