#pragma once

#include "document/DocumentTestSupport.h"
#include "document/Expression.h"
#include "document/Version.h"
#include "segments/VideoForm.h"
#include "support/FakeMediaPlayer.h"

#include <QCoreApplication>
#include <QTimer>

#include <functional>

namespace vimra::test {

inline VideoForm& formOf(const Expression& e) { return *dynamic_cast<VideoForm*>(e.form().get()); }

// Shows the expression's editor, runs `act` in it and closes it if `act` left it open.
inline bool inEditor(const std::shared_ptr<Expression>& e, const std::function<void(VideoWindow&)>& act)
{
    bool opened = false;
    VideoForm& form = formOf(*e);
    QTimer::singleShot(0, [&] {
        if (VideoWindow* w = form.videoWindow()) {
            opened = true;
            act(*w);
            if (form.videoWindow())
                w->dialog()->reject();
        }
    });
    e->ShowForm(nullptr);
    QCoreApplication::processEvents();
    return opened;
}

// The fixture document with a clip in its folder, the editors installed
// and a fake player behind them.
class EditorTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        setEditorFactory(&forms);
        writeFixture();
        write("Film_files/clip.mpg", "frames");
        setMedia(path("Film_files/clip.mpg"));
    }

    // Version 1 of a fresh open, with a main expression of `kind` over [2, 20].
    std::shared_ptr<Expression> newMain(const QString& kind)
    {
        doc = open("Film.xml");
        ver = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1));
        ver->AddMainExpression("Main", kind, 2, 20);
        return kind == "Video" ? ver->vdMainVideo() : kind == "Audio" ? ver->auMainAudio() : ver->trMainTranscript();
    }

    FakeMediaPlayer& player() { return *players.last; }

    VideoForms forms;
    FakeMediaPlayerFactory players;
    std::shared_ptr<AVDocument> doc;
    std::shared_ptr<Version> ver;
};

} // namespace vimra::test
