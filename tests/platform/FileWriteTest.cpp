#include "platform/FileWrite.h"

#include "support/HangBound.h"
#include "support/TestFiles.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace vimra;

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

// A copy takes its name only once complete: a process killed in the middle of
// one leaves nothing under the target's name, and the next cleanup removes
// what it left.
TEST(FileWrite, ACopyIsWholeOrNotThere)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("fifo"), target = dir.filePath("copy.bmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
    const int feed = ::open(QFile::encodeName(source).constData(), O_RDWR); // the copy waits for more
    ASSERT_EQ(::write(feed, "BM half a picture", 17), 17);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(fs::copyAtomically(source, target, nullptr) ? 0 : 1);
    for (QDeadlineTimer bound(test::kHangMs); !bound.hasExpired() && entries(dir.path()).size() < 2;)
        ::usleep(10000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(feed);
    const QStringList left = entries(dir.path()).filter(".copy.bmp.vimra-");
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(fs::removeStaleTemporaries(dir.path()), 0); // written since this process started
    ASSERT_NO_FATAL_FAILURE(test::backdate(dir.filePath(left[0]), 60)); // as by an earlier run
    EXPECT_EQ(fs::removeStaleTemporaries(dir.path()), 1);
    EXPECT_EQ(entries(dir.path()), QStringList({"fifo"}));
}

// Only our own temporary files of ended processes go, only in the folder
// named (never through a link), and with a file name only that file's.
TEST(FileWrite, OnlyStaleTemporariesOfOursGo)
{
    QTemporaryDir dir;
    const QString dead = ".vimra-" + QString::number(test::endedProcessId());
    const QString self = ".vimra-" + QString::number(::getpid());
    const QStringList kept = {".Film.xml" + self + "-k2", ".Film.xml" + dead + "-K2", "Film.xml" + dead + "-k2",
                              ".Film.xml" + dead + "-", ".Film.xml.k2", ".Film.xml" + dead + "x-k2", "sub", "link"};
    const QStringList stale = {".Film.xml" + dead + "-k2", ".Other.xml" + dead + "-k2", "sub/.a" + dead + "-k2"};
    for (const QString& name : kept.mid(0, 6) + stale) {
        ASSERT_NO_FATAL_FAILURE(test::writeFile(dir.filePath(name), "half"));
        ASSERT_NO_FATAL_FAILURE(test::backdate(dir.filePath(name), 60));
    }
    QFile::link(dir.filePath("sub"), dir.filePath("link"));

    EXPECT_EQ(fs::removeStaleTemporaries(dir.path(), "Film.xml"), 1);
    EXPECT_EQ(fs::removeStaleTemporaries(dir.filePath("link/")), 0);
    EXPECT_EQ(fs::removeStaleTemporaries(dir.path()), 1);
    EXPECT_EQ(entries(dir.path()).size(), kept.size());
    EXPECT_EQ(entries(dir.filePath("sub")).size(), 1);
}

// Within one scope a folder is listed once, whichever way it is spelled; the
// cleanup works from that listing, takes out what it removed, and still never
// removes through a link.
TEST(FileWrite, OneListingServesTheCleanupAndTheScan)
{
    QTemporaryDir dir;
    const QString stale = ".Film.xml.vimra-" + QString::number(test::endedProcessId()) + "-k2";
    ASSERT_NO_FATAL_FAILURE(test::writeFile(dir.filePath("sub/" + stale), "half"));
    ASSERT_NO_FATAL_FAILURE(test::backdate(dir.filePath("sub/" + stale), 60));
    ASSERT_NO_FATAL_FAILURE(test::writeFile(dir.filePath("sub/a.xml"), "<a/>"));
    QFile::link(dir.filePath("sub"), dir.filePath("link"));
    const fs::ListingScope scope;
    EXPECT_EQ(fs::removeStaleTemporaries(dir.filePath("link/")), 0);
    EXPECT_EQ(fs::folderEntries(dir.filePath("link"))->size(), 2);
    const auto listing = fs::folderEntries(dir.filePath("sub"));
    EXPECT_EQ(listing, fs::folderEntries(dir.filePath("sub/")));
    EXPECT_EQ(fs::removeStaleTemporaries(dir.filePath("sub")), 1);
    EXPECT_EQ(entries(dir.filePath("sub")), QStringList({"a.xml"}));
    ASSERT_EQ(listing->size(), 1);
    EXPECT_EQ(listing->front().name, "a.xml");
}

// A temporary name fits the file-name limit whatever the target's name: a
// copy killed half-way into a target of 255 bytes leaves a temporary the
// cleanup tells as that file's own, and not as another long name's that
// starts alike.
TEST(FileWrite, TemporariesOfNamesAtTheLimitFitAndAreToldApart)
{
    const QString longest = QString(254, 'a') + "b", wide = QString(127, QChar(0xE9)) + "b"; // 255 bytes each
    for (const QString& name : {QString("Film.xml"), QString(229, 'a'), longest, wide}) {
        SCOPED_TRACE(name.size());
        QTemporaryDir dir;
        ASSERT_LE(QFile::encodeName(name).size(), 255);
        QString error;
        ASSERT_TRUE(fs::writeAtomically(dir.filePath(name), "whole", &error)) << error.toStdString();
        const QString source = dir.filePath("fifo");
        ASSERT_EQ(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
        const int feed = ::open(QFile::encodeName(source).constData(), O_RDWR);
        ASSERT_EQ(::write(feed, "half", 4), 4);
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(fs::copyAtomically(source, dir.filePath(name), nullptr) ? 0 : 1);
        for (int i = 0; i < 12000 && entries(dir.path()).size() < 3; ++i) // a hang only
            ::usleep(10000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(feed);
        const QStringList left = entries(dir.path()).filter(QRegularExpression("^\\..*\\.vimra-"));
        ASSERT_EQ(left.size(), 1);
        EXPECT_LE(QFile::encodeName(left[0]).size(), 255);
        ASSERT_NO_FATAL_FAILURE(test::backdate(dir.filePath(left[0]), 60));
        EXPECT_EQ(fs::removeStaleTemporaries(dir.path(), name.chopped(1) + "c"), 0);
        EXPECT_EQ(fs::removeStaleTemporaries(dir.path(), name), 1);
        EXPECT_EQ(test::readFile(dir.filePath(name)), "whole");
    }
}

// At start only what ended runs left goes from the temporary folder: files
// of our naming, regular, older than this process, of a process that has
// ended; a note left by a killed save-as has its folders cleaned first.
TEST(FileWrite, LeftoversOfEndedRunsGoAtStart)
{
    QTemporaryDir temp, copy;
    const QString hex(32, 'c'), dead = QString::number(test::endedProcessId());
    const QString alive = QString::number(::getpid());
    const QStringList stale = {"vimra-" + dead + "-" + hex + ".bmp", ".x.vimra-" + dead + "-k2"};
    const QStringList kept = {"vimra-" + alive + "-" + hex + ".bmp", "vimra-" + dead + "-" + hex.chopped(1) + ".bmp",
                              "vimra-" + dead + "-" + hex.toUpper() + ".bmp", "vimra-" + dead + "-" + hex,
                              "vimra-notes.txt", "fresh"};
    for (const QString& name : stale + kept) {
        ASSERT_NO_FATAL_FAILURE(test::writeFile(temp.filePath(name), "grab"));
        ASSERT_NO_FATAL_FAILURE(test::backdate(temp.filePath(name), 60));
    }
    ASSERT_NO_FATAL_FAILURE(test::writeFile(temp.filePath("vimra-" + dead + "-" + QString(32, 'd') + ".bmp"), "new"));
    ASSERT_TRUE(QDir(temp.path()).mkdir("vimra-" + dead + "-" + QString(32, 'e') + ".bmp"));
    QFile::link(temp.filePath(kept[0]), temp.filePath("vimra-" + dead + "-" + QString(32, 'f') + ".bmp"));
    // A save-as killed after its note was made, with its temporaries.
    const QString mark = ".vimra-" + dead + "-k2";
    for (const QString& name : {".Copy.xml" + mark, ".Other.xml" + mark, "Copy_files/.Copy_version1.xml" + mark}) {
        ASSERT_NO_FATAL_FAILURE(test::writeFile(copy.filePath(name), "half"));
        ASSERT_NO_FATAL_FAILURE(test::backdate(copy.filePath(name), 60));
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const fs::TemporariesNote note({{copy.path(), "Copy.xml"}, {copy.filePath("Copy_files"), ""}}, temp.path());
        ::_exit(0); // as killed: the note stays
    }
    ::waitpid(child, nullptr, 0);
    const QStringList notes = entries(temp.path()).filter(".folders");
    ASSERT_EQ(notes.size(), 1);
    ASSERT_NO_FATAL_FAILURE(test::backdate(temp.filePath(notes[0]), 60));

    EXPECT_EQ(fs::removeLeftovers(temp.path()), int(stale.size()) + 1 + 2);
    for (const QString& name : stale + notes)
        EXPECT_FALSE(QFileInfo::exists(temp.filePath(name))) << name.toStdString();
    EXPECT_EQ(entries(temp.path()).size(), kept.size() + 3);
    EXPECT_EQ(entries(copy.path()), QStringList({".Other.xml" + mark, "Copy_files"}));
    EXPECT_EQ(entries(copy.filePath("Copy_files")), QStringList());
    EXPECT_TRUE(QFileInfo(fs::newOwnFileName(temp.path(), ".bmp")).fileName().startsWith("vimra-" + alive + "-"));
}

// A new file takes its name only while nothing has it, a link to nowhere
// included (it is not followed); a refusal leaves no temporary file behind.
TEST(FileWrite, ANewFileTakesOnlyAFreeName)
{
    QTemporaryDir dir;
    const QString taken = dir.filePath("taken"), link = dir.filePath("link"), free = dir.filePath("free");
    test::writeFile(taken, "theirs");
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), link));
    for (const QString& target : {taken, link}) {
        QString error;
        EXPECT_FALSE(fs::writeAtomically(target, "ours", &error, fs::Placement::NoReplace));
        EXPECT_EQ(error, qt_error_string(EEXIST));
    }
    EXPECT_EQ(test::readFile(taken), "theirs");
    EXPECT_TRUE(fs::writeAtomically(free, "ours", nullptr, fs::Placement::NoReplace));
    EXPECT_EQ(test::readFile(free), "ours");
    EXPECT_EQ(entries(dir.path()), QStringList({"free", "link", "taken"}));
}
