#pragma once

#include "document/Expression.h"
#include "editor/PaneForm.h"
#include "platform/MediaPlayer.h"
#include "segments/VideoFormRules.h"

#include <QObject>

#include <array>
#include <memory>

class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace vimra {

class AdvancedSlider;
class Expression;
class Framelist;
class RangeDialog;
class Video;
class VideoForm;

// The open window of the expression editor: the player and the segment
// controls on the "Video" tab over the field pane. Lives while the window
// is shown; the rules it follows are in VideoFormRules.
class VideoWindow : public QObject, public PaneExtension, public MediaPlayerListener, public ExpressionObserver {
    Q_OBJECT
public:
    VideoWindow(VideoForm& form, std::shared_ptr<Expression> obj, PaneModel& model);
    ~VideoWindow() override;

    // ---- what the tests drive ----
    PaneDialog* dialog() const { return m_dialog; }
    QPushButton* button(const char* name) const;
    QLineEdit* txtTime() const { return m_txtTime; }
    QPlainTextEdit* rtbTrans() const { return m_rtbTrans; }
    QWidget* picVideoWindow() const { return m_picVideoWindow; }
    AdvancedSlider* advsld() const { return m_advsld; }
    Framelist* Framelist1() const { return m_framelist; }
    bool bHasMedia() const { return m_player != nullptr; }
    bool bTimer1Running() const;
    void Timer1_Timer();
    void SeekTo(double dPos);
    // The expression's span as far as the clip holds it; the editor's own copy.
    const std::shared_ptr<Chunk>& ckChunk() const { return m_ckChunk; }
    RangeDialog* rangeDialog() const { return m_rangeDialog; }
    bool bMarking() const { return m_bMarking; }
    bool bBlink() const { return m_bBlink; }
    bool BlinkTime();
    // Keys released anywhere in the window.
    void Form_KeyUp(int key, Qt::KeyboardModifiers shift);

    // ---- PaneExtension ----
    void Built(PaneModel&) override {}
    QWidget* makeControl(PaneField&, QWidget*) override { return nullptr; }
    void Commit(SEColl& secol, const std::shared_ptr<DocObject>& obj) override;
    void Closed() override;
    void Opened(PaneDialog& window) override;
    void LaidOut(const PaneModel& model) override;
    void TabShown(int t) override;

    // ---- MediaPlayerListener ----
    void playbackError(const QString& text) override;

    // ---- ExpressionObserver: the slider and the strip follow the list ----
    void subExpressionAdded(Expression& obj, const std::shared_ptr<Expression>& segment) override;
    void subExpressionRemoved(Expression& obj, int index) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void LayoutPlayer();
    void LayoutEditor(double scaleWidth);
    void ShowPlayer(bool visible);
    void ShowEditor(bool visible);
    void ZOrderPlayer(int p);
    void ZOrderEditor(int p);
    void LoadTranscript();
    void OpenMedia(const QString& strPath);
    // The span the editor moves within, from the stored one and the clip's
    // length; false without a stored span. Says once when the expression
    // lies past the clip's end.
    bool LimitToClip();
    void SayPastClipEnd() const;
    void CloseMedia();
    void FillRanges();
    void ShowTranscriptUpTo(double dPos, bool bRebuild);
    void showTime(double dPos);

    void cmdPlay_Click();
    void cmdPause_Click();
    void cmdStop_Click();
    void cmdRewind_Click();
    void cmdForward_Click();
    void BackButt_Click();

    // The segment operations; each does nothing without what it needs.
    // The list as the rules see it: read once, then kept in step with the
    // list's announcements (and the editor's own changes of times).
    const SegmentSnapshot& snapshot() const;
    SegmentSnapshot readSnapshot() const;
    void snapshotAdd(const Expression& segment);
    // The segment at this index got new times from the editor.
    void spanChanged(int index);
    // The segment's range and, for a Video, its thumbnail at its chain place.
    void addControlsFor(const Expression& segment, int position);
    std::shared_ptr<Expression> member(int index) const;
    std::shared_ptr<Video> video() const;
    void ToggleMark();
    void CancelMark();
    void StopBlinking();
    void CreateSegment(double dStart, double dEnd);
    bool AskTimes(double dStart, double dEnd, double& s, double& e);
    void NewSegmentByDialog();
    void ModifySegmentTimes();
    void DeleteSelectedSegments();
    // False when the model kept a segment it was asked to remove.
    // `removed`, when given, receives the segments asked to go.
    bool RemoveSelectedSegments(std::vector<std::shared_ptr<Expression>>* removed = nullptr);
    void MergeSelectedSegments();
    void ExpandLeft();
    void ExpandRight();
    void SeekNextSegment();
    void SeekPrevSegment();
    void UpdateKeyFrame();
    void advsld_Click(int index);
    void advsld_Scroll();
    void Framelist1_ImageClick(int index);
    void OpenSegment(int index);
    void seekToStartOf(int index);
    // The expression tree after these segments were added and removed.
    void resetTree(const std::vector<std::shared_ptr<Expression>>& added,
                   const std::vector<std::shared_ptr<Expression>>& removed);

    VideoForm& m_form;
    std::shared_ptr<Expression> m_obj;
    PaneModel& m_model;
    PaneDialog* m_dialog = nullptr;
    std::unique_ptr<MediaPlayer> m_player;
    QString m_strMediaPath;
    // A back-end failure is being told: the controls start nothing meanwhile.
    bool m_bErrorShown = false;
    std::shared_ptr<Chunk> m_ckChunk;
    TranscriptFollower m_follower;

    QPushButton* m_back = nullptr;
    QLineEdit* m_txtTime = nullptr;
    QWidget* m_picVideoWindow = nullptr;
    QWidget* m_video = nullptr;
    std::array<QPushButton*, 5> m_playButtons{};
    QPlainTextEdit* m_rtbTrans = nullptr;
    QGroupBox* m_videoFrame = nullptr;
    AdvancedSlider* m_advsld = nullptr;
    Framelist* m_framelist = nullptr;
    std::array<QPushButton*, 10> m_segmentButtons{};
    QTimer* m_timer1 = nullptr;
    QTimer* m_blinker = nullptr;
    bool m_bBlink = false;
    bool m_bMarking = false;
    bool m_bBlinkFlag = false;
    double m_dStartMark = 0;
    int m_iTab = 1;
    RangeDialog* m_rangeDialog = nullptr;
    mutable SegmentSnapshot m_snap;
    mutable bool m_bSnapRead = false;
    mutable std::vector<int> m_snapRemovals; // announced, not yet applied to m_snap
    // While the editor removes several segments, the slider and the strip
    // take the announced removals together once the model is done.
    bool m_bGathering = false;
    std::vector<int> m_viewRemovals;
};

// The editor of one Video, Audio or Transcript. Making, binding and
// unloading it makes no widget and no player; each Show builds both.
class VideoForm : public PaneForm {
public:
    VideoForm();

    void Show(UiOwner* owner) override;

    // Frames per second of the media last opened; kept from one showing to
    // the next when the media tells none.
    double dFrameRate() const { return m_dFrameRate; }
    void setDFrameRate(double rate) { m_dFrameRate = rate; }
    // The open window while Show runs, else nullptr.
    VideoWindow* videoWindow() const { return m_open; }
    // Back: the editor to open, owned by the main window, once this one has closed.
    void setNext(std::shared_ptr<Expression> next) { m_next = std::move(next); }

private:
    double m_dFrameRate = 0;
    VideoWindow* m_open = nullptr;
    std::shared_ptr<Expression> m_next;
};

// Makes the editors of the three expression classes; nullptr for any other.
class VideoForms : public EditorFactory {
public:
    std::shared_ptr<EditorWindow> create(const QString& strClass) override;
    void ShowAVDocSchemaDialog(UiOwner*, const std::shared_ptr<SEColl>&) override {}
};

} // namespace vimra
