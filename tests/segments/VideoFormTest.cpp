#include "document/DocumentTestSupport.h"

#include "document/Transcript.h"
#include "document/Version.h"
#include "document/Video.h"
#include "segments/AdvancedSlider.h"
#include "segments/Framelist.h"
#include "segments/VideoForm.h"
#include "segments/EditorRun.h"
#include "support/FakeMediaPlayer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTimer>

#include <functional>

using namespace vimra;
using namespace vimra::test;

namespace {

struct TitleCount : RecordingUi {
    int iCalls = 0;
    void UpdateNodeTitle(const std::shared_ptr<DocObject>&) override { ++iCalls; }
};

class VideoFormTest : public EditorTest {
protected:
    static void click(VideoWindow& w, const char* name) { w.button(name)->click(); }
    const PlayerRecord& record() { return *players.lastRecord; }
};

} // namespace

TEST_F(VideoFormTest, MediaThatCannotPlayOpensAnEditorWithoutMedia)
{
    newMain("Video");
    const auto expectNoMedia = [](VideoWindow& w) {
        EXPECT_FALSE(w.bHasMedia());
        EXPECT_FALSE(w.advsld()->Enabled());
        EXPECT_EQ(w.advsld()->Count(), 0);
        click(w, "cmdPlay");
        click(w, "cmdForward");
        EXPECT_FALSE(w.bTimer1Running());
        EXPECT_EQ(w.txtTime()->text(), "00:00:00:00");
    };
    // Version 2 has no Storage.
    const auto noStorage = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(2));
    noStorage->AddMainExpression("Main", "Video", 2, 20);
    ASSERT_TRUE(inEditor(noStorage->vdMainVideo(), expectNoMedia));
    EXPECT_EQ(prompts.messages(), QStringList{text(1091)});
    EXPECT_EQ(players.created, 0);

    prompts.calls.clear();
    setMedia(path("Film_files/gone.mpg"));
    const auto missing = newMain("Video");
    ver->AddMainExpression("Sound", "Audio", 2, 20);
    ASSERT_TRUE(inEditor(missing, expectNoMedia));
    ASSERT_TRUE(inEditor(ver->auMainAudio(), expectNoMedia));
    EXPECT_EQ(prompts.messages(), QStringList{path("Film_files/gone.mpg") + " not found"});

    prompts.calls.clear();
    setMedia(path("Film_files/clip.mpg"));
    players.script.openError = "clip.mpg holds no stream";
    ASSERT_TRUE(inEditor(newMain("Transcript"), expectNoMedia));
    EXPECT_EQ(prompts.messages(), QStringList{"clip.mpg holds no stream"});
    EXPECT_EQ(prompts.calls.back().icon, Prompts::Exclamation);
    EXPECT_EQ(record().calls.last(), "release");
}

TEST_F(VideoFormTest, OpeningClipsTheSpanInMemoryAndWritesAChangedFrameRateOnly)
{
    players.script.duration = 15;
    players.script.avgTimePerFrame = 1001.0 / 30000;
    const auto video = std::dynamic_pointer_cast<Video>(newMain("Video"));
    for (const auto& f : *video->secol())
        f->bChanged = false;
    ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
        EXPECT_EQ(w.ckChunk()->dend, 15);
        EXPECT_EQ(player().positions, std::vector<double>{2});
        EXPECT_EQ(player().calls.last(), "Pause");
        EXPECT_EQ(w.txtTime()->text(), "00:00:02:00");
    }));
    // The editor's span stops at the clip's end; the stored one does not.
    EXPECT_EQ(video->ckGetChunk()->dend, 20);
    EXPECT_FALSE(video->firstNamed("Time")->bChanged);
    EXPECT_TRUE(video->firstNamed("FrameRate")->bChanged);
    EXPECT_DOUBLE_EQ(formOf(*video).dFrameRate(), 30000.0 / 1001);

    // Saved and opened again, the same media changes nothing.
    ASSERT_TRUE(doc->bSave());
    doc = open("Film.xml");
    const auto again = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1))->vdMainVideo();
    ASSERT_TRUE(inEditor(again, [](VideoWindow&) {}));
    EXPECT_FALSE(again->firstNamed("FrameRate")->bChanged);

    // Audio-only media: no rate, frame steps seek in place.
    players.script.avgTimePerFrame = 0;
    players.script.picture = false;
    ver->AddMainExpression("Sound", "Audio", 2, 20);
    formOf(*ver->auMainAudio()).setDFrameRate(25);
    ASSERT_TRUE(inEditor(ver->auMainAudio(), [&](VideoWindow& w) {
        player().playTo(3);
        click(w, "cmdForward");
        click(w, "cmdRewind");
        EXPECT_EQ(player().positions, (std::vector<double>{2, 3, 3}));
    }));
    EXPECT_EQ(formOf(*ver->auMainAudio()).dFrameRate(), 25);
}

TEST_F(VideoFormTest, FrameStepsSeeksAndTimers)
{
    players.script.avgTimePerFrame = 0.04;
    const auto video = newMain("Video");
    ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
        click(w, "cmdRewind"); // at the span's start
        player().playTo(20);
        click(w, "cmdForward"); // at its end
        EXPECT_EQ(player().positions.size(), 1u);
        player().playTo(19.99);
        click(w, "cmdForward");
        EXPECT_DOUBLE_EQ(player().position, 20.03);
        w.SeekTo(-1);
        EXPECT_EQ(player().position, 0);

        click(w, "cmdPlay");
        EXPECT_TRUE(w.bTimer1Running());
        click(w, "cmdPause");
        EXPECT_TRUE(w.bTimer1Running());
        player().playTo(5);
        w.Timer1_Timer();
        EXPECT_EQ(w.advsld()->dPosition(), 5);
        EXPECT_EQ(w.txtTime()->text(), "00:00:05:00");
        click(w, "cmdRewind");
        EXPECT_EQ(player().calls.last(), "Pause");
        EXPECT_TRUE(w.bTimer1Running());
        click(w, "cmdStop");
        EXPECT_FALSE(w.bTimer1Running());

        // A back-end error found after opening is told once, with the file; the editor stays usable.
        player().listener->playbackError("no decoder for the video");
        QCoreApplication::processEvents();
        EXPECT_EQ(prompts.messages(),
                  QStringList{"Could not play the media file " + path("Film_files/clip.mpg") + ": no decoder for the video"});
        EXPECT_EQ(prompts.calls.back().icon, Prompts::Exclamation);
        w.SeekTo(4);
        EXPECT_EQ(w.txtTime()->text(), "00:00:04:00");
    }));
    EXPECT_EQ(record().calls.last(), "release");

    // Without a span both steps are made.
    video->firstNamed("Time")->bValid = false;
    ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
        EXPECT_TRUE(player().positions.empty());
        click(w, "cmdRewind");
        click(w, "cmdForward");
        EXPECT_EQ(player().positions.size(), 2u);
        EXPECT_FALSE(w.advsld()->Enabled());
    }));
}

// Failures reported inside reports, or while one is told, never stack: one
// box per failure, opened after the report has returned, and while it is
// shown no control starts anything.
TEST_F(VideoFormTest, PlayerFailuresAreToldOnceEachAfterTheReport)
{
    const auto video = newMain("Video");
    const auto told = [&](const QString& why) { return "Could not play the media file " + path("Film_files/clip.mpg") + ": " + why; };
    ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
        prompts.whileOpen = [&] {
            const QStringList before = player().calls;
            for (const char* name : {"cmdPlay", "cmdForward", "cmdRewind", "cmdStop", "cmdPause"})
                click(w, name);
            player().listener->playbackError("again");
            QCoreApplication::processEvents();
            EXPECT_EQ(player().calls, before);
            EXPECT_EQ(prompts.messages().size(), 1);
        };
        player().listener->playbackError("first");
        player().listener->playbackError("first");
        EXPECT_TRUE(prompts.messages().isEmpty());
        QCoreApplication::processEvents();
        EXPECT_EQ(prompts.messages(), QStringList{told("first")});

        click(w, "cmdPlay");
        EXPECT_EQ(player().calls.last(), "Run");
        player().listener->playbackError("second");
        QCoreApplication::processEvents();
        EXPECT_EQ(prompts.messages(), (QStringList{told("first"), told("second")}));
    }));
    // A failure reported as the editor closes is not told after it.
    ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
        player().listener->playbackError("late");
        w.dialog()->reject();
    }));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.messages().size(), 2);
}

TEST_F(VideoFormTest, TranscriptFollowsPlaybackAndStartsAfreshAtEveryLoad)
{
    const auto video = newMain("Video");
    EXPECT_TRUE(inEditor(video, [](VideoWindow& w) { EXPECT_EQ(w.rtbTrans()->toPlainText(), "<No Transcript>"); }));

    ver->AddMainExpression("Words", "Transcript", 0, 100);
    auto words = std::make_shared<WordColl>();
    for (int i = 0; i < 10; ++i)
        words->Add({}, {}, i, i + 0.5, QString("w%1").arg(i));
    std::dynamic_pointer_cast<Transcript>(ver->trMainTranscript())->setWordList(words);
    for (int load = 0; load < 2; ++load)
        ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
            EXPECT_EQ(w.rtbTrans()->toPlainText(), "");
            click(w, "cmdPlay");
            player().playTo(4);
            w.Timer1_Timer();
            EXPECT_EQ(w.rtbTrans()->toPlainText(), " w2 w3 w4");
            player().playTo(6);
        }));
}

TEST_F(VideoFormTest, SliderAndStripHoldTheSegmentsAtTheirChainPlaces)
{
    const auto video = newMain("Video");
    video->AddSubExpression("Late", 10, 12);
    video->AddSubExpression("Early", 3, 5);
    video->AddSubExpression("Untimed", 6, 7);
    video->colSubExpressions().Item(3)->firstNamed("Time")->bValid = false;
    ASSERT_TRUE(inEditor(video, [](VideoWindow& w) {
        EXPECT_TRUE(w.advsld()->Enabled());
        EXPECT_EQ(w.advsld()->dMin(), 2);
        EXPECT_EQ(w.advsld()->dMax(), 20);
        ASSERT_EQ(w.advsld()->Count(), 3);
        EXPECT_EQ(w.advsld()->boxes()[0].label, "'Late': From 00:00:10:00 To 00:00:12:00");
        EXPECT_EQ(w.advsld()->ranges().Item(3)->dBegin, 2);
        const auto& images = w.Framelist1()->images();
        ASSERT_EQ(images.size(), 3u);
        // Early -> Untimed -> Late along the chain.
        EXPECT_EQ(images[0].label, "'Late': From 00:00:10:00 To 00:00:12:00");
        EXPECT_EQ(images[0].position, 3);
        EXPECT_EQ(images[1].position, 1);
        // Red ranges, the anchor of a selection green.
        w.advsld()->setIRangeSelectedStart(1);
        w.advsld()->setIRangeSelectedEnd(1);
        EXPECT_EQ(std::pair(w.advsld()->boxes()[0].barColor, w.advsld()->boxes()[1].barColor), std::pair(0xC000u, 0xC0u));
        for (const char* name : {"cmdSel", "cmdMerge", "cmdKeyFrame"})
            EXPECT_TRUE(w.button(name)->isEnabled()) << name;
    }));
}

TEST_F(VideoFormTest, BackOpensTheMainEditorAfterThisOneClosed)
{
    const auto video = newMain("Video");
    video->AddSubExpression("Part", 3, 5);
    const auto part = video->colSubExpressions().Item(1);
    bool mainShown = false;
    ASSERT_TRUE(inEditor(part, [&](VideoWindow& w) {
        QTimer::singleShot(0, [&] {
            mainShown = formOf(*video).videoWindow() != nullptr;
            EXPECT_EQ(formOf(*part).videoWindow(), nullptr);
            int dialogs = 0;
            for (auto* top : QApplication::topLevelWidgets())
                dialogs += qobject_cast<QDialog*>(top) != nullptr;
            EXPECT_EQ(dialogs, 1);
            formOf(*video).videoWindow()->dialog()->reject();
        });
        click(w, "BackButt");
    }));
    EXPECT_TRUE(mainShown);
    ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
        click(w, "BackButt");
        EXPECT_TRUE(w.dialog()->isVisible());
        // Return closes nothing; Escape closes the window as Cancel does, writing nothing.
        for (const auto& edit : w.dialog()->findChildren<QPlainTextEdit*>())
            edit->setPlainText("Typed");
        for (const auto& [key, bOpen] : {std::pair{Qt::Key_Return, true}, {Qt::Key_Escape, false}}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(w.dialog(), &press);
            EXPECT_EQ(w.dialog()->isVisible(), bOpen) << key;
        }
    }));
    EXPECT_EQ(video->strTitle(), "Main");
}

TEST_F(VideoFormTest, FieldTabsHideThePlayerAndOkRetitles)
{
    TitleCount titles;
    setDocumentUi(&titles);
    const auto video = newMain("Video");
    ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
        QTabBar* tabs = w.dialog()->tabBar();
        ASSERT_GE(tabs->count(), 2);
        EXPECT_EQ(tabs->tabText(0), "Video");
        EXPECT_EQ(tabs->tabText(1), "Set 1");
        EXPECT_EQ(tabs->tabData(1).toString(), "Set 2");
        EXPECT_FALSE(w.dialog()->frame(1)->isVisible());
        EXPECT_TRUE(w.rtbTrans()->isVisible());
        w.SeekTo(7);
        tabs->setCurrentIndex(1);
        EXPECT_FALSE(w.rtbTrans()->isVisible());
        EXPECT_FALSE(w.advsld()->isVisible());
        EXPECT_TRUE(w.dialog()->frame(1)->isVisible());
        tabs->setCurrentIndex(0);
        EXPECT_TRUE(w.picVideoWindow()->isVisible());
        EXPECT_EQ(player().position, 7);
        EXPECT_EQ(w.advsld()->dPosition(), 7);
        w.dialog()->okButton()->click();
    }));
    EXPECT_EQ(titles.iCalls, 0);
    ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
        for (auto* edit : w.dialog()->findChildren<QPlainTextEdit*>())
            if (edit->accessibleName() == "Title")
                edit->setPlainText("Renamed");
        w.dialog()->okButton()->click();
    }));
    EXPECT_EQ(titles.iCalls, 1);
    EXPECT_EQ(video->strTitle(), "Renamed");
}

TEST_F(VideoFormTest, TheEditorWithItsOkAndCancelLiesOnTheScreenItOpensOn)
{
    // Run on a screen of 800 x 600 too (ctest segments_small_screen), lower than the design.
    const auto video = newMain("Video");
    ASSERT_TRUE(inEditor(video, [&](VideoWindow& w) {
        const QRect free = w.dialog()->screen()->availableGeometry();
        EXPECT_TRUE(free.contains(w.dialog()->geometry())) << w.dialog()->height() << " > " << free.height();
        for (QWidget* button : {static_cast<QWidget*>(w.dialog()->okButton()), w.dialog()->findChild<QWidget*>("CancelButt")}) {
            ASSERT_TRUE(button);
            EXPECT_TRUE(free.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
        }
        // The player's buttons stay where they were designed.
        EXPECT_TRUE(free.contains(QRect(w.picVideoWindow()->mapToGlobal(QPoint(0, 0)), w.picVideoWindow()->size())));
    }));
}

TEST(VideoFormHandles, MakeNoWidgetAndNoPlayer)
{
    FakeMediaPlayerFactory players;
    VideoForms forms;
    const int widgets = QApplication::allWidgets().size();
    for (int i = 0; i < 3000; ++i) {
        const auto form = forms.create(i % 2 ? "Audio" : "Video");
        form->bind(nullptr);
        form->Unload();
    }
    EXPECT_EQ(QApplication::allWidgets().size(), widgets);
    EXPECT_EQ(players.created, 0);
}
