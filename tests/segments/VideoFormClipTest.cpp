#include "document/DocumentTestSupport.h"

#include "document/Version.h"
#include "document/Video.h"
#include "resources/MessageIds.h"
#include "segments/AdvancedSlider.h"
#include "segments/EditorRun.h"
#include "segments/RangeDialog.h"
#include "support/FakeMediaDetector.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace vimra;
using namespace vimra::test;

namespace {

// Times taken from an 8 s clip, edited over a 4 s one.
class VideoFormClipTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        media.length = players.script.duration = 4;
    }

    // Main over [0, 8] with the segment Gulls, as read back from the disk.
    void reopen()
    {
        doc = open("Film.xml");
        ver = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1));
        main = ver->vdMainVideo();
        ASSERT_TRUE(main && main->colSubExpressions().Count() == 1);
        gulls = std::dynamic_pointer_cast<Video>(main->colSubExpressions().Item(1));
    }
    // The Time element of the expression's own file, in milliseconds.
    static bool stored(const Expression& e, int start, int end)
    {
        return readFile(e.strGUID()).contains(QString(R"(<Time start="%1" end="%2")").arg(start).arg(end).toUtf8());
    }

    FakeMediaDetector media;
    std::shared_ptr<Expression> main;
    std::shared_ptr<Video> gulls;
};

} // namespace

TEST_F(VideoFormClipTest, AShortClipLimitsTheEditorButNeverTheStoredTimes)
{
    const QString pastEnd = text(msg::PastClipEnd).arg("Gulls", "00:00:04:00");
    const struct Row {
        const char* name;
        double start, end; // Gulls
        bool bEditMain;    // else Gulls' editor
        double shownStart, shownEnd;
        QStringList messages; // at opening, and again for K
    } rows[] = {
        {"segment past the clip's end", 6, 8, false, 4, 4, {pastEnd}},
        {"segment across the clip's end", 3, 8, false, 3, 4, {}},
        {"main expression longer than the clip", 3, 8, true, 0, 4, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        newMain("Video")->SetChunk(0, 8);
        ver->vdMainVideo()->AddSubExpression("Gulls", row.start, row.end);
        ASSERT_TRUE(doc->bSave());
        reopen();
        const auto edited = row.bEditMain ? main : std::static_pointer_cast<Expression>(gulls);
        const double keyframe = gulls->dGetKeyFrameTime();
        prompts.calls.clear();
        ASSERT_TRUE(inEditor(edited, [&](VideoWindow& w) {
            const auto expectWithinClip = [&] {
                const std::pair shown(row.shownStart, row.shownEnd);
                EXPECT_EQ(std::pair(w.ckChunk()->dStart, w.ckChunk()->dend), shown);
                EXPECT_EQ(std::pair(w.advsld()->dMin(), w.advsld()->dMax()), shown);
                EXPECT_LE(player().position, 4);
                // At the clip's end the time code names its last frame.
                EXPECT_EQ(w.txtTime()->text(), FormatTime(std::min(player().position, 4 - 1 / 25.0), 25));
            };
            EXPECT_EQ(player().position, row.shownStart);
            for (int i = 0; i < 120; ++i)
                w.button("cmdForward")->click();
            expectWithinClip();
            EXPECT_EQ(player().position, row.shownEnd);
            EXPECT_EQ(prompts.messages(), row.messages);
            prompts.calls.clear();
            if (row.bEditMain) {
                // The time dialog left as it shows Gulls moves nothing.
                w.advsld()->setIRangeSelectedStart(1);
                QTimer::singleShot(0, [&w] {
                    w.rangeDialog()->window()->findChild<QPushButton*>("OKButton")->click();
                });
                w.button("cmdModif")->click();
            } else {
                w.button("cmdKeyFrame")->click();
                const QStringList set{text(msg::ConfirmUpdateKeyframe), text(msg::KeyframeUpdated)};
                EXPECT_EQ(prompts.messages(), row.messages.isEmpty() ? set : row.messages);
            }
            w.button("cmdRewind")->click();
            w.button("cmdNext")->click();
            expectWithinClip();
            for (auto* edit : w.dialog()->findChildren<QPlainTextEdit*>())
                if (edit->accessibleName() == "Title")
                    edit->setPlainText("Retitled");
            w.dialog()->okButton()->click();
        }));
        ASSERT_TRUE(doc->bSave());
        reopen();
        EXPECT_EQ((row.bEditMain ? main : gulls)->strTitle(), "Retitled");
        EXPECT_TRUE(stored(*main, 0, 8000) && stored(*gulls, int(row.start * 1000), int(row.end * 1000)));
        // K sets the keyframe at the frame shown, only when the clip holds one of the segment's own.
        EXPECT_EQ(gulls->dGetKeyFrameTime(), row.bEditMain || !row.messages.isEmpty() ? keyframe : 4.0);
    }
}
