#include "records/AppState.h"
#include "records/FileStamp.h"
#include "records/Procedures.h"
#include "resources/StringTable.h"
#include "support/FakeMediaDetector.h"
#include "support/FakePrompts.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace vimra;

using vimra::test::readFile;
using vimra::test::writeFile;

TEST(Procedures, SplitPathMatrix)
{
    struct Case {
        const char* path;
        const char* base;
        const char* folder;
        const char* ext;
        const char* fileName;
    };
    const Case cases[] = {
        {"/a/b.c.xml", "b.c", "/a/", "xml", "b.c.xml"},
        {"b.xml", "b", "./", "xml", "b.xml"},
        {"/a/readme", "readme", "/a/", "", "readme."},
        {"/a/readme.", "readme", "/a/", "", "readme."},
        {"/a/.hidden", "", "/a/", "hidden", ".hidden"},
        {"/a.d/file", "file", "/a.d/", "", "file."},
        {"/x", "x", "/", "", "x."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        QString folder = "junk", ext = "junk";
        EXPECT_EQ(strSplitPath(c.path, &folder, &ext), c.base);
        EXPECT_EQ(folder, c.folder);
        EXPECT_EQ(ext, c.ext);
        EXPECT_EQ(vExtensionOf(c.path), c.ext);
        EXPECT_EQ(vFileNameOf(c.path), c.fileName);
    }
    QString folder = "junk", ext = "junk";
    EXPECT_EQ(strSplitPath("", &folder, &ext), "");
    EXPECT_EQ(folder, "");
    EXPECT_EQ(ext, "");
    EXPECT_EQ(strSplitPath("/a/b.xml", &folder), "b"); // extension not asked for

    QString slashed = "a/b/c";
    EXPECT_EQ(strToBackslashes(slashed), "a/b/c");
    EXPECT_EQ(strStripNulls(QString("a") + QChar(u'\0') + "b" + QChar(u'\0')), "ab");
}

TEST(Procedures, AbsolutePathsAreLexical)
{
    EXPECT_EQ(strAbsolutePath("/a/b/../c/./d.xml"), "/a/c/d.xml");
    EXPECT_EQ(strAbsolutePath("/a/b/"), "/a/b");
    EXPECT_EQ(strAbsolutePath("/"), "/");
    EXPECT_EQ(strAbsolutePath("x/y.xml", "/base/dir"), "/base/dir/x/y.xml");
    EXPECT_EQ(strAbsolutePath("../y.xml", "/base/dir/"), "/base/y.xml");
    EXPECT_EQ(strAbsolutePath("/abs.xml", "/base"), "/abs.xml");
    EXPECT_EQ(strAbsolutePath("rel.xml"), QDir::currentPath() + "/rel.xml");
    // Parts made of dots are normal unless exactly "." or "..", wherever they stand.
    for (const auto& [path, normal] : std::vector<std::pair<QString, QString>>{
             {"/a/..b/c.", "/a/..b/c."}, {"/a/.../.x", "/a/.../.x"}, {"/a/b/.", "/a/b"}, {"/a/b/..", "/a"},
             {"/..", "/"}, {"/a//b", "/a/b"}, {"/a/./", "/a"}, {"/.a/b..", "/.a/b.."}})
        EXPECT_EQ(strAbsolutePath(path), normal) << path.toStdString();
    EXPECT_TRUE(bSamePath("/a/./b/../c", "/a/c/"));
    EXPECT_FALSE(bSamePath("/a/C", "/a/c"));
    // Last names that differ, or that normalising may change.
    const struct {
        const char* a;
        const char* b;
        bool same;
    } pairs[] = {{"/a/b/x.xml", "/a/c/../b/x.xml", true}, {"/a/b/x.xml", "/a/b/y.xml", false},
                 {"/a/b/..", "/a", true},                 {"/a/b/x/.", "/a/b/x", true},
                 {"/a/b/", "/a/b", true},                 {"x.xml", "./x.xml", true},
                 {"/a//b", "/a/b", true},                 {"/a/b/x.xml", "/a/b/x.xml/", true}};
    for (const auto& p : pairs) {
        EXPECT_EQ(bSamePath(p.a, p.b), p.same) << p.a << " " << p.b;
        EXPECT_EQ(bSamePath(p.b, p.a), p.same) << p.b << " " << p.a;
    }
    EXPECT_TRUE(strTempPath().endsWith('/'));
}

TEST(Procedures, PathsNormalisedWhereverTheirFaultStands)
{
    // Identifiers are told normal several characters at a time: each fault,
    // at every place in a long path, is still found and normalised.
    const struct {
        const char* fault;
        const char* normal;
    } faults[] = {{"/./", "/"}, {"//", "/"}, {"/x/../", "/"}, {"/.hidden/", "/.hidden/"}, {"/..x/", "/..x/"}};
    for (const auto& f : faults)
        for (int at = 1; at <= 24; ++at) {
            const QString head = "/" + QString(at, 'a');
            const QString tail = "b/cdefghijklmnopq.xml";
            EXPECT_EQ(strAbsolutePath(head + f.fault + tail), head + f.normal + tail) << f.fault << " at " << at;
            EXPECT_EQ(strAbsolutePath(head + "/" + tail + "/"), head + "/" + tail) << at;
        }
    // A surrogate pair is text like any other; a lone surrogate is not a
    // normal path and the path is made again from its parts.
    const QString pair = QString::fromUtf16(u"/abcdefghijkl/\U0001F600mnopqrstu.xml");
    EXPECT_EQ(strAbsolutePath(pair), pair);
    EXPECT_TRUE(bSamePath(pair, QString(pair).replace("/abc", "/./abc")));
    const QString lone = QStringLiteral("/abcdefghijkl/") + QChar(0xD800) + QStringLiteral("mnopqrstu.xml");
    EXPECT_NE(strAbsolutePath(lone), lone);
}

TEST(Procedures, FolderBoundsAlternatingBetweenFolders)
{
    // Within a scope the folder asked about before is reused: answers for
    // files in turn in two folders, one reached through a link, stay right.
    QTemporaryDir tmp, outside;
    const QString d = tmp.path();
    QDir(d).mkdir("in");
    writeFile(outside.path() + "/x.xml", "x");
    ASSERT_TRUE(QFile::link(outside.path(), d + "/out"));
    ASSERT_TRUE(QFile::link(outside.path() + "/x.xml", d + "/in/away.xml"));
    const FolderBounds bounds(d);
    const StampScope scope;
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(bounds.bContains(d + "/in/a.xml"));
        EXPECT_FALSE(bounds.bContains(d + "/out/a.xml"));
        EXPECT_FALSE(bounds.bContains(d + "/in/away.xml"));
        EXPECT_TRUE(bounds.bContains(d + "/in/b.xml"));
        EXPECT_FALSE(bounds.bContains(d + "/out/../../elsewhere.xml"));
        EXPECT_TRUE(bounds.bContains(d + "/b.xml"));
    }
}

// Paths longer than the system resolves in one call, through links in a
// circle or into folders nested deeper than that, resolve where it goes.
TEST(Procedures, RealPathsOfAnyLengthThroughAnyLinks)
{
    QTemporaryDir tmp, outside;
    const QString d = strRealPath(tmp.path()), secret = strRealPath(outside.path()) + "/secret";
    // "half/rest" leads 24 folders of 200 letters deep, and "away" there out.
    const QString twelve = QString(QString(200, 'p') + "/").repeated(12), back = QDir::currentPath();
    // Deeper than the temporary folder's own clean-up reaches.
    const auto cleanUp = qScopeGuard([&] { QDir::setCurrent(back); QProcess::execute("rm", {"-rf", d}); });
    ASSERT_TRUE(QDir(d).mkpath(twelve) && QDir::setCurrent(d + "/" + twelve) && QDir().mkpath(twelve));
    ASSERT_TRUE(::symlink(QFile::encodeName(secret).constData(), QFile::encodeName(twelve + "away").constData()) == 0);
    ASSERT_TRUE(QFile::link(twelve, d + "/half") && QFile::link(twelve, d + "/" + twelve + "rest"));
    ASSERT_TRUE(QFile::link("b", d + "/a") && QFile::link("a", d + "/b"));
    const QString many = d + QString("/m").repeated(50000) + "/x.xml";
    const std::pair<QString, QString> rows[] = {{many, many}, {d + "/a/x.xml", ""}, {d + "/half/rest/away", secret}};
    for (const auto& [path, real] : rows) { // "": anywhere inside
        EXPECT_TRUE(real.isEmpty() || strRealPath(path) == real) << path.left(300).toStdString();
        EXPECT_EQ(FolderBounds(d).bContains(path), real != secret) << path.left(300).toStdString();
    }
}

TEST(Procedures, FilesFoldersAndListing)
{
    QTemporaryDir tmp;
    const QString d = tmp.path();
    writeFile(d + "/b.xml", "b");
    writeFile(d + "/A.XML", "a");
    writeFile(d + "/c.txt", "c");
    writeFile(d + "/.hidden.xml", "h");
    QDir(d).mkdir("folder.xml");

    EXPECT_EQ(colListFiles(d + "/*.xml"), (QStringList{"A.XML", "b.xml"}));
    // Links count as what they lead to; one leading nowhere is left out.
    QFile::link(d + "/b.xml", d + "/link.xml");
    QFile::link(d + "/folder.xml", d + "/dirlink.xml");
    QFile::link(d + "/gone.xml", d + "/broken.xml");
    EXPECT_EQ(colListFiles(d + "/*.xml"), (QStringList{"A.XML", "b.xml", "link.xml"}));
    EXPECT_EQ(colListFiles(d + "/*.XML"), (QStringList{"A.XML", "b.xml", "link.xml"}));
    EXPECT_EQ(colListFiles(d + "/?.xml"), (QStringList{"A.XML", "b.xml"}));
    EXPECT_EQ(colListFiles(d + "/nowhere/*.xml"), QStringList{});
    for (const char* name : {"link.xml", "dirlink.xml", "broken.xml"})
        QFile::remove(d + "/" + name);
    // Order ignores case; names equal but for it keep a fixed order, with or
    // without letters beyond ASCII.
    const QString sub = d + "/order";
    QDir(d).mkdir("order");
    for (const char* name : {"a.xml", "Ba.xml", "B_c.xml", "A.xml", "b.xml"})
        writeFile(sub + "/" + name, "x");
    EXPECT_EQ(colListFiles(sub + "/*.xml"), (QStringList{"A.xml", "a.xml", "b.xml", "B_c.xml", "Ba.xml"}));
    writeFile(sub + "/\u00e9.xml", "x");
    EXPECT_EQ(colListFiles(sub + "/*.xml"), (QStringList{"A.xml", "a.xml", "b.xml", "B_c.xml", "Ba.xml", "\u00e9.xml"}));
    EXPECT_TRUE(vFileExists(d + "/b.xml"));
    EXPECT_FALSE(vFileExists(d + "/folder.xml"));
    EXPECT_TRUE(vFolderExists(d + "/folder.xml"));
    EXPECT_FALSE(vFolderExists(d + "/b.xml"));

    // strMakeDir: made, already there, a file in the way (no reason given).
    EXPECT_EQ(strMakeDir(d + "/new"), "");
    EXPECT_TRUE(vFolderExists(d + "/new"));
    const QString again = strMakeDir(d + "/new");
    EXPECT_TRUE(again.startsWith(text(1094) + " " + d + "/new (")) << again.toStdString();
    EXPECT_FALSE(again.endsWith("()"));
    EXPECT_EQ(strMakeDir(d + "/b.xml"), text(1094) + " " + d + "/b.xml ()");
    EXPECT_NE(strMakeDir(d + "/no/such/deep"), ""); // one level only

    // Move refuses an existing target and keeps both files; copy overwrites.
    EXPECT_NE(MoveFileFS(d + "/b.xml", d + "/c.txt"), "");
    EXPECT_EQ(readFile(d + "/b.xml"), "b");
    EXPECT_EQ(readFile(d + "/c.txt"), "c");
    EXPECT_EQ(MoveFileFS(d + "/b.xml", d + "/moved.xml"), "");
    EXPECT_FALSE(vFileExists(d + "/b.xml"));
    EXPECT_EQ(readFile(d + "/moved.xml"), "b");
    EXPECT_NE(MoveFileFS(d + "/b.xml", d + "/x.xml"), "");
    EXPECT_EQ(CopyFileFS(d + "/moved.xml", d + "/c.txt"), "");
    EXPECT_EQ(readFile(d + "/c.txt"), "b");
    EXPECT_NE(CopyFileFS(d + "/missing", d + "/c.txt"), "");
}

TEST(Procedures, MoveAcrossFileSystems)
{
    QTemporaryDir here;
    QTemporaryDir there("/dev/shm/vimra-XXXXXX");
    struct stat a {}, b {};
    if (!there.isValid() || ::stat(QFile::encodeName(here.path()).constData(), &a) != 0
        || ::stat(QFile::encodeName(there.path()).constData(), &b) != 0 || a.st_dev == b.st_dev)
        GTEST_SKIP() << "no second file system to move to";
    writeFile(here.filePath("clip.wav"), "data");
    writeFile(there.filePath("taken.wav"), "old");
    EXPECT_NE(MoveFileFS(here.filePath("clip.wav"), there.filePath("taken.wav")), "");
    EXPECT_EQ(readFile(there.filePath("taken.wav")), "old");
    EXPECT_EQ(MoveFileFS(here.filePath("clip.wav"), there.filePath("clip.wav")), "");
    EXPECT_FALSE(vFileExists(here.filePath("clip.wav")));
    EXPECT_EQ(readFile(there.filePath("clip.wav")), "data");
}

TEST(Procedures, ParseDateRollsOverAndRejects)
{
    QDate date;
    EXPECT_TRUE(bParseDate("2001-02-03", date));
    EXPECT_EQ(date, QDate(2001, 2, 3));
    EXPECT_TRUE(bParseDate("2001-02-30", date));
    EXPECT_EQ(date, QDate(2001, 3, 2));
    EXPECT_TRUE(bParseDate("2001-13-05", date));
    EXPECT_EQ(date, QDate(2002, 1, 5));
    EXPECT_TRUE(bParseDate("2001-03-00", date));
    EXPECT_EQ(date, QDate(2001, 2, 28));
    EXPECT_TRUE(bParseDate("2001-00-10", date));
    EXPECT_EQ(date, QDate(2000, 12, 10));
    EXPECT_TRUE(bParseDate("2004-05-06-extra", date));
    EXPECT_EQ(date, QDate(2004, 5, 6));
    EXPECT_TRUE(bParseDate("0030-01-01", date)); // no two-digit year mapping
    EXPECT_EQ(date, QDate(30, 1, 1));

    const QDate before(1999, 9, 9);
    for (const char* bad : {"2001/02/03", "2001-02", "", "2001-ab-03", "2001-02-03x", "2001-02-",
                            "99999-01-01", "2001-02-40000"}) {
        SCOPED_TRACE(bad);
        date = before;
        EXPECT_FALSE(bParseDate(bad, date));
        EXPECT_EQ(date, before);
    }
}

TEST(Procedures, BoolToXmlTable)
{
    EXPECT_EQ(vBoolToXML(true), "true");
    EXPECT_EQ(vBoolToXML(1), "true");
    EXPECT_EQ(vBoolToXML(1.0), "true");
    EXPECT_EQ(vBoolToXML(QString("True")), "true");
    EXPECT_EQ(vBoolToXML(QString("true")), "true");
    EXPECT_EQ(vBoolToXML(false), "false");
    EXPECT_EQ(vBoolToXML(0), "false");
    EXPECT_EQ(vBoolToXML(QString("False")), "false");
    EXPECT_EQ(vBoolToXML(QString("TRUE")), "false");
    EXPECT_EQ(vBoolToXML(-1), "false");
    EXPECT_EQ(vBoolToXML(QString("yes")), "false");
    EXPECT_EQ(vBoolToXML(FieldValue{}), "false");
}

TEST(Procedures, TimeParts)
{
    using Parts = std::array<int, 5>;
    EXPECT_EQ(vSecondsToTimeParts(3725.5, 25), (Parts{0, 1, 2, 5, 12}));
    EXPECT_EQ(vSecondsToTimeParts(1.2, 25)[4], 5);
    EXPECT_EQ(vSecondsToTimeParts(0, 25), (Parts{0, 0, 0, 0, 0}));

    // Joined and split again, a time keeps its frame, at common rates.
    for (double rate : {25.0, 29.97, 30.0}) {
        SCOPED_TRACE(rate);
        const Parts p{0, 0, 1, 5, 13};
        EXPECT_EQ(vSecondsToTimeParts(dTimePartsToSeconds(p, rate), rate), p);
    }
    for (int f = 0; f < 25; ++f)
        EXPECT_EQ(vSecondsToTimeParts(dTimePartsToSeconds({0, 2, 59, 59, f}, 25), 25)[4], f);

    // Ten hours and more.
    EXPECT_EQ(vSecondsToTimeParts(36000, 25), (Parts{0, 10, 0, 0, 0}));
    EXPECT_EQ(vSecondsToTimeParts(123 * 3600 + 4 * 60 + 5.4, 25), (Parts{0, 123, 4, 5, 10}));
    EXPECT_DOUBLE_EQ(dTimePartsToSeconds({0, 12, 0, 1, 0}, 25), 43201.0);

    EXPECT_DOUBLE_EQ(dTimePartsToSeconds({0, 1, 2, 5, 12}, 25), 3725.48);
    EXPECT_DOUBLE_EQ(dTimePartsToSeconds({0, 1, 2, 5, 12}, 0), 3725.0);
    EXPECT_EQ(vSecondsToTimeParts(5.5, 0)[4], 0);

    // Whatever the input, minutes and seconds are 0..59 and frames below the rate.
    const std::vector<std::pair<double, double>> odd = {
        {0.5, 1e300}, {-1e-20, 25}, {3599.9999999999995, 25}, {0.99999999, 25}, {59.99999999, 29.97}, {1, -25}};
    for (const auto& [seconds, rate] : odd) {
        SCOPED_TRACE(testing::Message() << seconds << " s at " << rate);
        const Parts p = vSecondsToTimeParts(seconds, rate);
        EXPECT_TRUE(p[2] >= 0 && p[2] <= 59 && p[3] >= 0 && p[3] <= 59);
        EXPECT_TRUE(p[4] >= 0 && (p[4] == 0 || p[4] < rate));
    }
}

TEST(Procedures, DigitsAndGuids)
{
    EXPECT_FALSE(bIsDigits(""));
    EXPECT_FALSE(bIsDigits("12a"));
    EXPECT_FALSE(bIsDigits("a12"));
    EXPECT_FALSE(bIsDigits(" 12"));
    EXPECT_FALSE(bIsDigits("-1"));
    EXPECT_FALSE(bIsDigits(QString::fromUtf8("١٢"))); // other scripts' digits are not 0-9
    EXPECT_TRUE(bIsDigits("0012"));

    const QRegularExpression form("^[0-9a-f]{32}$");
    const QString a = strNewGUID();
    const QString b = strNewGUID();
    EXPECT_TRUE(form.match(a).hasMatch()) << a.toStdString();
    EXPECT_TRUE(form.match(b).hasMatch()) << b.toStdString();
    EXPECT_NE(a, b);
}

TEST(Procedures, MediaDurationOfGeneratedClipAndTextFile)
{
    QTemporaryDir tmp;
    const QString wav = tmp.filePath("tone.wav");
    ASSERT_EQ(QProcess::execute("ffmpeg", {"-v", "quiet", "-f", "lavfi", "-i", "sine=duration=2", "-y", wav}), 0);
    EXPECT_NEAR(dMediaDuration(wav), 2.0, 0.05);

    const QString txt = tmp.filePath("notes.txt");
    writeFile(txt, "just some words\nand another line\n");
    EXPECT_EQ(dMediaDuration(txt), 0.0);
    EXPECT_EQ(dMediaDuration(tmp.filePath("missing.wav")), 0.0);

    // The length comes from the detector in force.
    test::FakeMediaDetector fake;
    fake.length = 42.5;
    EXPECT_EQ(dMediaDuration(txt), 42.5);
}

TEST(Procedures, WarnNotFoundOncePerNameUntilReset)
{
    test::FakePrompts fake;
    appState().reset();
    WarnNotFoundOnce("clip.mpg");
    WarnNotFoundOnce("clip.mpg");
    WarnNotFoundOnce("CLIP.mpg"); // names compare exactly
    ASSERT_EQ(fake.calls.size(), 2u);
    EXPECT_EQ(fake.calls[0].text, "clip.mpg " + text(1092));
    EXPECT_EQ(fake.calls[0].buttons, Prompts::OKCancel);
    EXPECT_EQ(fake.calls[0].icon, Prompts::NoIcon);
    EXPECT_EQ(fake.calls[1].text, "CLIP.mpg " + text(1092));

    appState().reset();
    WarnNotFoundOnce("clip.mpg");
    EXPECT_EQ(fake.calls.size(), 3u);
    appState().reset();
}
