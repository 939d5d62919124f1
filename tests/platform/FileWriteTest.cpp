#include "platform/FileWrite.h"

#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>

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
    for (int i = 0; i < 500 && entries(dir.path()).size() < 2; ++i)
        ::usleep(10000);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(feed);
    EXPECT_EQ(entries(dir.path()).filter(".copy.bmp.vimra-").size(), 1);
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
    for (const QString& name : kept.mid(0, 6) + stale)
        ASSERT_NO_FATAL_FAILURE(test::writeFile(dir.filePath(name), "half"));
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
