#include "platform/FileWrite.h"

#include "support/SmallDisk.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vimra;

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

// A copy gets its name only once complete: a process killed in the middle of
// one, or a disk that fills up, leaves nothing under the target's name (or the
// old file), and the next cleanup removes the dead process's temporary file.
TEST(FileWrite, ACopyIsWholeOrNotThere)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("fifo"), target = dir.filePath("copy.bmp");
    ASSERT_EQ(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
    const int feed = ::open(QFile::encodeName(source).constData(), O_RDWR); // the copy blocks after this
    ASSERT_EQ(::write(feed, "BM half a picture", 17), 17);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(fs::copyAtomically(source, target, nullptr) ? 0 : 1);
    for (int i = 0; i < 500 && entries(dir.path()).size() < 2; ++i)
        QThread::msleep(10);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(feed);
    const QStringList left = entries(dir.path());
    ASSERT_EQ(left.size(), 2) << left.join(' ').toStdString();
    EXPECT_TRUE(left.contains("fifo") && left.filter(".copy.bmp.vimra-").size() == 1);
    EXPECT_EQ(fs::removeStaleTemporaries(dir.path()), 1);
    EXPECT_EQ(entries(dir.path()), QStringList({"fifo"}));

    // A copy takes the source's permissions.
    ASSERT_NO_FATAL_FAILURE(test::writeFile(dir.filePath("a.bmp"), QByteArray(10000, 'a')));
    QFile::setPermissions(dir.filePath("a.bmp"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    QString error;
    ASSERT_TRUE(fs::copyAtomically(dir.filePath("a.bmp"), target, &error)) << error.toStdString();
    EXPECT_EQ(test::readFile(target), QByteArray(10000, 'a'));
    EXPECT_EQ(QFileInfo(target).permissions(), QFile::permissions(dir.filePath("a.bmp")));

    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a size-limited tmpfs needs root";
    const test::SmallDisk disk(dir.filePath("disk"), "size=8k");
    ASSERT_TRUE(disk.mounted) << disk.error;
    for (const QByteArray before : {QByteArray(), QByteArray("old")}) {
        const QString full = dir.filePath("disk/copy.bmp");
        if (!before.isNull())
            ASSERT_NO_FATAL_FAILURE(test::writeFile(full, before));
        EXPECT_FALSE(fs::copyAtomically(dir.filePath("a.bmp"), full, &error));
        EXPECT_EQ(error, "No space left on device");
        EXPECT_EQ(entries(dir.filePath("disk")), before.isNull() ? QStringList() : QStringList({"copy.bmp"}));
        EXPECT_EQ(test::readFile(full), before);
    }
}

// Only our own temporary files of processes that no longer run are removed,
// only in the folder named, and with a file name only that file's.
TEST(FileWrite, OnlyStaleTemporariesOfOursGo)
{
    QTemporaryDir dir;
    const QString dead = ".vimra-" + QString::number(test::endedProcessId()), self = ".vimra-" + QString::number(::getpid());
    const QString canary = dir.filePath("canary");
    ASSERT_NO_FATAL_FAILURE(test::writeFile(canary, "keep"));
    const QStringList kept = {".Film.xml" + self + "-k2", ".Film.xml" + dead + "-K2", "Film.xml" + dead + "-k2",
                              ".Film.xml" + dead + "-", ".Film.xml.k2", ".Film.xml" + dead + "x-k2",
                              ".Film.xml" + dead + "-dir", ".Film.xml" + dead + "-link", "canary", "sub"};
    for (const QString& name : kept + QStringList{".Film.xml" + dead + "-k2", ".Other.xml" + dead + "-k2"})
        if (!name.endsWith("-dir") && !name.endsWith("-link") && name != "sub" && name != "canary")
            ASSERT_NO_FATAL_FAILURE(test::writeFile(dir.filePath(name), "half"));
    QDir(dir.path()).mkpath(".Film.xml" + dead + "-dir");
    QFile::link(canary, dir.filePath(".Film.xml" + dead + "-link"));
    ASSERT_NO_FATAL_FAILURE(test::writeFile(dir.filePath("sub/.Film.xml" + dead + "-k2"), "half"));

    EXPECT_EQ(fs::removeStaleTemporaries(dir.path(), "Film.xml"), 1);
    EXPECT_TRUE(entries(dir.path()).contains(".Other.xml" + dead + "-k2"));
    EXPECT_EQ(fs::removeStaleTemporaries(dir.path()), 1);
    const QStringList left = entries(dir.path());
    EXPECT_EQ(QSet<QString>(kept.begin(), kept.end()), QSet<QString>(left.begin(), left.end()));
    EXPECT_EQ(entries(dir.filePath("sub")).size(), 1);
    EXPECT_EQ(test::readFile(canary), "keep");
}
