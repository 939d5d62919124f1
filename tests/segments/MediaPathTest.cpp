#include "EditorRun.h"

#include "resources/MessageIds.h"

#include <sys/stat.h>

using namespace vimra;
using namespace vimra::test;

// A media path that names something other than a file says so, once, and
// the editor opens without media, as for a missing clip.
TEST_F(EditorTest, AFolderOrFifoNamedAsTheClipIsToldAsNotARegularFile)
{
    const struct {
        const char* what;
        std::function<void(const QString&)> make;
    } rows[] = {
        {"folder", [](const QString& at) { ASSERT_TRUE(QDir().mkpath(at)); }},
        {"FIFO", [](const QString& at) { ASSERT_EQ(::mkfifo(QFile::encodeName(at).constData(), 0600), 0); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const QString media = path(QString("Film_files/%1.mpg").arg(row.what));
        row.make(media);
        setMedia(media);
        appState().reset();
        prompts.calls.clear();
        const int created = players.created;
        const auto main = newMain("Video");
        for (int i = 0; i < 2; ++i)
            ASSERT_TRUE(inEditor(main, [](VideoWindow& w) { EXPECT_FALSE(w.bHasMedia()); }));
        EXPECT_EQ(prompts.messages(), QStringList{media + ": " + text(msg::NotRegularFile)});
        EXPECT_EQ(players.created, created);
        doc->release();
    }
}
