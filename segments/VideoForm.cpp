#include "segments/VideoForm.h"

#include "document/DocumentUi.h"
#include "document/Expression.h"
#include "document/Transcript.h"
#include "document/Video.h"
#include "records/Procedures.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "segments/AdvancedSlider.h"
#include "segments/Framelist.h"
#include "segments/RangeDialog.h"
#include "widgets/Guarded.h"

#include <QApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace vimra {

namespace {

struct ButtonDesign {
    const char* name;
    const char* caption;
    const char* toolTip;
};

constexpr std::array<ButtonDesign, 5> kPlayButtons{{
    {"cmdPlay", ">", "Play movie"},
    {"cmdPause", "ll", "Pause movie"},
    {"cmdRewind", "-1", "step one frame backward"},
    {"cmdForward", "+1", "step one frame forward"},
    {"cmdStop", "Stop", "Stop movie"},
}};

constexpr std::array<ButtonDesign, 10> kSegmentButtons{{
    {"cmdSel", "|", "Select Start/End point of new segment"},
    {"cmdNext", "-->", "Move to next segment bound"},
    {"cmdPrev", "<--", "Move previous segment bound"},
    {"cmdExpandLeft", "|>", "Extend rigth bound"},
    {"cmdExpandRight", "<|", "Extend left bound"},
    {"cmdModif", "<->", "Modify selected segment"},
    {"cmdNew", "|-|", "Create new segment"},
    {"cmdCanc", "X", "Remove selected segment"},
    {"cmdKeyFrame", "K", "Set a new keyframe"},
    {"cmdMerge", "- + -", "Merge the selected Expresions"},
}};

// The design size of the expression editor's inner area.
constexpr double kDesignWidth = 10800;
constexpr double kDesignHeight = 9810;

QPushButton* makeButton(const ButtonDesign& d, QWidget* parent)
{
    auto* b = new QPushButton(QString::fromUtf8(d.caption), parent);
    b->setObjectName(QString::fromLatin1(d.name));
    b->setToolTip(QString::fromUtf8(d.toolTip));
    b->setAccessibleName(QString::fromUtf8(d.toolTip));
    b->setAutoDefault(false);
    return b;
}

void place(QWidget* w, const TwipsRect& r) { w->setGeometry(toPixels(r)); }

} // namespace

VideoWindow::VideoWindow(VideoForm& form, std::shared_ptr<Expression> obj, PaneModel& model)
    : m_form(form), m_obj(std::move(obj)), m_model(model)
{
}

VideoWindow::~VideoWindow()
{
    m_obj->removeObserver(this);
    qApp->removeEventFilter(this);
    CloseMedia();
}

void VideoWindow::Closed()
{
    m_obj->removeObserver(this);
    qApp->removeEventFilter(this);
    CloseMedia();
}

QPushButton* VideoWindow::button(const char* name) const
{
    return m_dialog ? m_dialog->findChild<QPushButton*>(QString::fromLatin1(name)) : nullptr;
}

bool VideoWindow::bTimer1Running() const { return m_timer1 && m_timer1->isActive(); }

void VideoWindow::Opened(PaneDialog& window)
{
    m_dialog = &window;
    window.resize(twipsToPixels(kDesignWidth), twipsToPixels(kDesignHeight));
    window.installEventFilter(this);
    buildControls();
    LayoutPlayer();
    ShowPlayer(true);
    ZOrderPlayer(0);
    LayoutEditor(pixelsToTwips(window.width()));
    ShowEditor(true);
    ZOrderEditor(0);
    // Enter presses no button: nothing here commits or closes by accident.
    for (auto* b : window.findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    // Stale state of an earlier showing never reaches this one.
    m_follower.reset(nullptr);
    m_ckChunk.reset();
    m_bBlink = m_bMarking = m_bBlinkFlag = false;
    m_iTab = 1;
    m_obj->addObserver(this);
    // Keys released in any control of the window reach Form_KeyUp.
    qApp->installEventFilter(this);
    guarded([&] {
        LoadTranscript();
        OpenMedia(m_obj->strGetMediaObjectPath());
        FillRanges();
        // Cutting is what the editor is for: the first cut should not also
        // pay for ordering a long expression's segments.
        m_obj->PrepareForSegmenting();
    });
    m_timer1->stop();
    m_blinker->stop();
}

void VideoWindow::buildControls()
{
    QWidget* w = m_dialog;
    m_back = makeButton({"BackButt", "Back", "To the parent (sub)expression"}, w);
    m_txtTime = new QLineEdit(QStringLiteral("00:00:00:00"), w);
    m_txtTime->setObjectName(QStringLiteral("txtTime"));
    m_txtTime->setToolTip(QStringLiteral("TimeCode"));
    m_txtTime->setAccessibleName(QStringLiteral("TimeCode"));
    m_txtTime->setReadOnly(true);
    m_txtTime->setAlignment(Qt::AlignCenter);
    m_txtTime->setTextMargins(0, 0, 0, 0);
    m_picVideoWindow = new QWidget(w);
    m_picVideoWindow->setObjectName(QStringLiteral("picVideoWindow"));
    m_picVideoWindow->setAccessibleName(QStringLiteral("Video"));
    m_picVideoWindow->setAutoFillBackground(true);
    QPalette black = m_picVideoWindow->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_picVideoWindow->setPalette(black);
    for (size_t i = 0; i < kPlayButtons.size(); ++i) {
        m_playButtons[i] = makeButton(kPlayButtons[i], w);
        QFont f = m_playButtons[i]->font();
        f.setBold(true);
        f.setPointSizeF(i == 4 ? 8.25 : 13.5);
        m_playButtons[i]->setFont(f);
    }
    m_rtbTrans = new QPlainTextEdit(w);
    m_rtbTrans->setObjectName(QStringLiteral("rtbTrans"));
    m_rtbTrans->setAccessibleName(QStringLiteral("Transcript"));
    m_rtbTrans->setReadOnly(true);
    m_videoFrame = new QGroupBox(QStringLiteral("Segment controls"), w);
    m_videoFrame->setObjectName(QStringLiteral("VideoFrame"));
    m_advsld = new AdvancedSlider(w);
    m_advsld->setObjectName(QStringLiteral("advsld"));
    // Red ranges and a green anchor stand out on the window's grey; the
    // control's own white barely shows.
    m_advsld->setRangeColor(0x0000C0);
    m_advsld->setStartRangeColor(0x00C000);
    m_framelist = new Framelist(w);
    m_framelist->setObjectName(QStringLiteral("Framelist1"));
    m_framelist->setAccessibleName(QStringLiteral("Keyframes"));
    for (size_t i = 0; i < kSegmentButtons.size(); ++i) {
        m_segmentButtons[i] = makeButton(kSegmentButtons[i], w);
    }
    m_rangeDialog = new RangeDialog(this);
    m_timer1 = new QTimer(this);
    m_timer1->setInterval(200);
    m_blinker = new QTimer(this);
    m_blinker->setInterval(500);

    connect(m_timer1, &QTimer::timeout, this, &VideoWindow::Timer1_Timer);
    // While a failure is told, a press (through the accessibility interface,
    // past the modal box) starts nothing that could fail again.
    const auto on = [this](QPushButton* b, void (VideoWindow::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] {
            if (!m_bErrorShown)
                guarded([&] { (this->*handler)(); });
        });
    };
    on(m_back, &VideoWindow::BackButt_Click);
    on(m_playButtons[0], &VideoWindow::cmdPlay_Click);
    on(m_playButtons[1], &VideoWindow::cmdPause_Click);
    on(m_playButtons[2], &VideoWindow::cmdRewind_Click);
    on(m_playButtons[3], &VideoWindow::cmdForward_Click);
    on(m_playButtons[4], &VideoWindow::cmdStop_Click);
    on(m_segmentButtons[0], &VideoWindow::ToggleMark);
    on(m_segmentButtons[1], &VideoWindow::SeekNextSegment);
    on(m_segmentButtons[2], &VideoWindow::SeekPrevSegment);
    on(m_segmentButtons[3], &VideoWindow::ExpandLeft);
    on(m_segmentButtons[4], &VideoWindow::ExpandRight);
    on(m_segmentButtons[5], &VideoWindow::ModifySegmentTimes);
    on(m_segmentButtons[6], &VideoWindow::NewSegmentByDialog);
    on(m_segmentButtons[7], &VideoWindow::DeleteSelectedSegments);
    on(m_segmentButtons[8], &VideoWindow::UpdateKeyFrame);
    on(m_segmentButtons[9], &VideoWindow::MergeSelectedSegments);
    connect(m_blinker, &QTimer::timeout, this, [this] { m_bBlink = BlinkTime(); });
    connect(m_advsld, &AdvancedSlider::Click, this, [this](int i) { guarded([&] { advsld_Click(i); }); });
    connect(m_advsld, &AdvancedSlider::Scroll, this, [this] { guarded([&] { advsld_Scroll(); }); });
    connect(m_framelist, &Framelist::ImageClick, this, [this](int i, int) { guarded([&] { Framelist1_ImageClick(i); }); });
    // Double clicks close this window: nothing of it may run afterwards.
    connect(m_advsld, &AdvancedSlider::DblClick, this, [this](int i) { OpenSegment(i); });
    connect(m_framelist, &Framelist::ImageDblClick, this, [this](int i, int) { OpenSegment(i); });
}

void VideoWindow::LayoutPlayer()
{
    const PlayerLayout l = vimra::LayoutPlayer();
    place(m_back, l.BackButt);
    place(m_txtTime, l.txtTime);
    // The box keeps its design size; its text shrinks until a time fits.
    QFont font = m_txtTime->font();
    const int room = m_txtTime->width() - 6;
    while (font.pointSizeF() > 5 && QFontMetrics(font).horizontalAdvance(QStringLiteral("00:00:00:00")) > room)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    m_txtTime->setFont(font);
    place(m_picVideoWindow, l.picVideoWindow);
    if (m_video)
        m_video->setGeometry(m_picVideoWindow->rect());
    for (size_t i = 0; i < m_playButtons.size(); ++i)
        place(m_playButtons[i], l.buttons[i]);
    place(m_rtbTrans, l.rtbTrans);
}

void VideoWindow::LayoutEditor(double scaleWidth)
{
    const EditorLayout l = vimra::LayoutEditor(scaleWidth, PaneModel::kScrollWidth, vimra::LayoutPlayer());
    place(m_videoFrame, l.VideoFrame);
    place(m_advsld, l.advsld);
    place(m_framelist, l.Framelist1);
    m_framelist->setImageX(int(l.ImageX));
    m_framelist->setImageY(int(l.ImageY));
    for (size_t i = 0; i < m_segmentButtons.size(); ++i)
        place(m_segmentButtons[i], l.buttons[i]);
}

void VideoWindow::LaidOut(const PaneModel&)
{
    if (!m_back)
        return;
    LayoutPlayer();
    LayoutEditor(pixelsToTwips(m_dialog->width()));
}

void VideoWindow::ShowPlayer(bool visible)
{
    for (QWidget* w : {static_cast<QWidget*>(m_back), static_cast<QWidget*>(m_txtTime), m_picVideoWindow})
        w->setVisible(visible);
    for (auto* b : m_playButtons)
        b->setVisible(visible);
    m_rtbTrans->setVisible(visible);
}

void VideoWindow::ShowEditor(bool visible)
{
    m_advsld->setVisible(visible);
    m_videoFrame->setVisible(visible);
    m_framelist->setVisible(visible);
    for (auto* b : m_segmentButtons)
        b->setVisible(visible);
}

void VideoWindow::ZOrderPlayer(int p)
{
    const auto order = [p](QWidget* w) { p == 0 ? w->raise() : w->lower(); };
    order(m_back);
    order(m_txtTime);
    order(m_picVideoWindow);
    for (auto* b : m_playButtons)
        order(b);
    order(m_rtbTrans);
}

void VideoWindow::ZOrderEditor(int p)
{
    // The frame first, so that it lies under the controls drawn over it.
    const auto order = [p](QWidget* w) { p == 0 ? w->raise() : w->lower(); };
    order(m_videoFrame);
    order(m_advsld);
    order(m_framelist);
    for (auto* b : m_segmentButtons)
        order(b);
}

void VideoWindow::TabShown(int t)
{
    if (!m_back)
        return;
    m_iTab = t;
    const bool video = t == 1;
    ShowPlayer(video);
    ShowEditor(video);
    ZOrderPlayer(video ? 0 : 1);
    ZOrderEditor(video ? 0 : 1);
}

void VideoWindow::LoadTranscript()
{
    m_obj->OpenTranscript();
    std::shared_ptr<WordColl> words;
    if (m_obj->bHasTranscript())
        if (const auto transcript = std::dynamic_pointer_cast<Transcript>(m_obj->objTranscript()))
            words = transcript->WordList();
    m_follower.reset(words);
    if (!words)
        m_rtbTrans->setPlainText(QStringLiteral("<") + text(msg::NoTranscript) + QStringLiteral(">"));
}

void VideoWindow::OpenMedia(const QString& strPath)
{
    if (strPath.isEmpty()) {
        prompts().MsgBox(text(msg::ItemNotSelected), Prompts::OKOnly, Prompts::NoIcon);
        return;
    }
    if (!vFileExists(strPath)) {
        WarnUnusableOnce(strPath);
        return;
    }
    m_video = mediaPlayerFactory().createVideoOutput(m_picVideoWindow);
    if (m_video)
        m_video->setGeometry(m_picVideoWindow->rect());
    auto player = mediaPlayerFactory().create();
    player->setVideoOutput(m_video);
    const QString error = player->open(strPath);
    if (!error.isEmpty()) {
        player->release();
        prompts().MsgBox(error, Prompts::OKOnly, Prompts::Exclamation);
        return;
    }
    m_player = std::move(player);
    m_strMediaPath = strPath;
    m_player->setListener(this);
    if (const double avg = m_player->AvgTimePerFrame(); avg > 0) {
        m_form.setDFrameRate(1.0 / avg);
        const auto video = std::dynamic_pointer_cast<Video>(m_obj);
        if (video && video->dFrameRate() != m_form.dFrameRate())
            video->setDFrameRate(m_form.dFrameRate());
    }
    if (!LimitToClip())
        return;
    if (m_ckChunk->dend < 0 || m_ckChunk->dStart < 0)
        return;
    m_player->setCurrentPosition(m_ckChunk->dStart);
    m_player->Pause();
    showTime(m_player->CurrentPosition());
    ShowTranscriptUpTo(m_player->CurrentPosition(), true);
}

bool VideoWindow::LimitToClip()
{
    const Chunk* stored = m_obj->spanPeek();
    if (!stored)
        return false;
    // The editor shows and moves within its own copy, limited to the clip: a
    // shorter clip than the one the times were taken from changes no stored time.
    m_ckChunk = std::make_shared<Chunk>(ShownSpan(*stored, m_player->Duration()));
    if (bPastClipEnd(*stored, m_player->Duration()))
        SayPastClipEnd();
    return true;
}

void VideoWindow::SayPastClipEnd() const
{
    const QString length = FormatTime(m_player->Duration(), m_form.dFrameRate());
    prompts().MsgBox(text(msg::PastClipEnd).arg(m_obj->strTitle(), length), Prompts::OKOnly, Prompts::Exclamation);
}

void VideoWindow::CloseMedia()
{
    // Timers first, so that no tick reaches a released player.
    if (m_timer1)
        m_timer1->stop();
    if (m_blinker)
        m_blinker->stop();
    if (!m_player)
        return;
    auto player = std::move(m_player);
    try {
        player->Stop();
        player->release();
    } catch (...) {
        // Closing goes on whatever the back end says.
    }
}

void VideoWindow::FillRanges()
{
    if (!m_player || !m_ckChunk) {
        m_advsld->setEnabled(false);
        return;
    }
    m_advsld->setDMin(m_ckChunk->dStart);
    m_advsld->setDMax(m_ckChunk->dend);
    m_advsld->setDLargeChange((m_advsld->dMax() - m_advsld->dMin()) / 100);
    m_advsld->setDFrameStep(m_form.dFrameRate() > 0 ? 1.0 / m_form.dFrameRate() : 0);
    const auto& segments = m_obj->colSubExpressions();
    const std::vector<int> positions = KeyFramePositions(snapshot());
    int i = 0;
    for (const auto& s : segments)
        addControlsFor(*s, positions[size_t(i++)]);
}

void VideoWindow::showTime(double dPos)
{
    // At the end of the media the time code names the last frame, the one shown.
    if (m_player)
        dPos = std::min(dPos, lastFrameStart(m_player->Duration(), m_player->AvgTimePerFrame()));
    m_txtTime->setText(FormatTime(dPos, m_form.dFrameRate()));
}

void VideoWindow::ShowTranscriptUpTo(double dPos, bool bRebuild)
{
    if (!m_follower.bHasWordList())
        return;
    if (bRebuild) {
        m_rtbTrans->clear();
        m_follower.rebuild(dPos);
        return;
    }
    const QString words = m_follower.advance(dPos);
    if (words.isEmpty())
        return;
    // Appended at the end, never by setting the whole text again.
    QTextCursor cursor(m_rtbTrans->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(words);
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor);
    m_rtbTrans->setTextCursor(cursor);
    m_rtbTrans->ensureCursorVisible();
}

void VideoWindow::Timer1_Timer()
{
    if (!m_player)
        return;
    m_advsld->setDPosition(m_player->CurrentPosition());
    ShowTranscriptUpTo(m_player->CurrentPosition(), false);
    showTime(m_player->CurrentPosition());
}

void VideoWindow::SeekTo(double dPos)
{
    if (!m_player)
        return;
    dPos = ClampSeek(dPos, m_player->Duration());
    m_advsld->setDPosition(dPos);
    m_player->setCurrentPosition(dPos);
    m_player->Pause();
    ShowTranscriptUpTo(m_player->CurrentPosition(), true);
    showTime(m_player->CurrentPosition());
}

void VideoWindow::cmdPlay_Click()
{
    if (!m_player)
        return;
    m_player->Run();
    m_timer1->start();
}

void VideoWindow::cmdPause_Click()
{
    if (m_player)
        m_player->Pause();
}

void VideoWindow::cmdStop_Click()
{
    if (!m_player)
        return;
    m_player->Stop();
    m_timer1->stop();
}

void VideoWindow::cmdRewind_Click()
{
    if (!m_player)
        return;
    if (const auto to = RewindTarget(m_player->CurrentPosition(), m_ckChunk.get(), m_player->AvgTimePerFrame()))
        SeekTo(*to);
}

void VideoWindow::cmdForward_Click()
{
    if (!m_player)
        return;
    if (const auto to = ForwardTarget(m_player->CurrentPosition(), m_ckChunk.get(), m_player->AvgTimePerFrame()))
        SeekTo(*to);
}

void VideoWindow::BackButt_Click()
{
    const auto main = m_obj->objMainExpr();
    if (!main)
        return;
    // The parent's editor opens once this window is gone, not from inside it.
    m_form.setNext(main);
    m_dialog->reject();
}

void VideoWindow::Commit(SEColl& secol, const std::shared_ptr<DocObject>& obj) { m_model.Commit(secol, obj); }

void VideoWindow::playbackError(const QString& message)
{
    // Told after the player's report has returned: a box opened inside it
    // would take the next report inside its own event loop. Reports that
    // arrive while one is told are of the same failure.
    if (m_bErrorShown)
        return;
    m_bErrorShown = true;
    QMetaObject::invokeMethod(this, [this, message] {
        if (m_player)
            prompts().MsgBox(strFailedOn(text(msg::MediaNotPlayed), m_strMediaPath, message), Prompts::OKOnly,
                             Prompts::Exclamation);
        m_bErrorShown = false;
    }, Qt::QueuedConnection);
}

bool VideoWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease && m_dialog) {
        auto* w = qobject_cast<QWidget*>(watched);
        // Each release is seen once, by the widget that had the focus.
        QWidget* focus = QApplication::focusWidget();
        const bool mine = focus ? focus == w : w == m_dialog;
        if (w && mine && (w == m_dialog || m_dialog->isAncestorOf(w))) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat())
                guarded([&] { Form_KeyUp(key->key(), key->modifiers()); });
        }
        return false;
    }
    // Escape closes the window as Cancel does; during a mark its release
    // cancels the mark instead (Form_KeyUp).
    if (watched == m_dialog && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (!bMarking())
            m_dialog->cancelButton()->click();
        return true;
    }
    return false;
}

VideoForm::VideoForm() : PaneForm(PaneParams{QStringLiteral("Title"), false, QStringLiteral("Video")}) {}

void VideoForm::Show(UiOwner* owner)
{
    const auto obj = std::dynamic_pointer_cast<Expression>(boundObject());
    if (!obj || !obj->secol())
        return;
    {
        VideoWindow window(*this, obj, model());
        m_open = &window;
        ShowWith(owner, &window);
        m_open = nullptr;
    }
    if (const auto next = std::exchange(m_next, nullptr))
        next->ShowForm(documentUi().mainWindow());
}

std::shared_ptr<EditorWindow> VideoForms::create(const QString& strClass)
{
    if (strEditorFormFor(strClass) != QLatin1String("VideoForm"))
        return nullptr;
    return std::make_shared<VideoForm>();
}

} // namespace vimra
