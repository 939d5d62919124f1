// The segment half of the expression editor: marking, creating, changing,
// merging and removing segments, widening them, moving between their bounds,
// the keyframe, and the events of the slider and the strip. The rules are in
// VideoFormRules; the slider and the strip follow the segment list through
// the expression's announcements, so the three stay index-aligned.
#include "segments/VideoForm.h"

#include "document/DocumentUi.h"
#include "document/Video.h"
#include "platform/Prompts.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "segments/AdvancedSlider.h"
#include "segments/Framelist.h"
#include "segments/RangeDialog.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHash>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>

namespace vimra {

namespace {

bool bAskYes(int id) { return prompts().MsgBox(text(id), Prompts::YesNo) == Prompts::Yes; }

// A widget where Delete and Escape mean editing text.
bool bEditsText(const QWidget* w)
{
    if (const auto* e = qobject_cast<const QLineEdit*>(w))
        return !e->isReadOnly();
    if (const auto* e = qobject_cast<const QPlainTextEdit*>(w))
        return !e->isReadOnly();
    if (const auto* e = qobject_cast<const QTextEdit*>(w))
        return !e->isReadOnly();
    if (const auto* e = qobject_cast<const QComboBox*>(w))
        return e->isEditable();
    return qobject_cast<const QAbstractSpinBox*>(w) != nullptr;
}

} // namespace

SegmentSnapshot VideoWindow::readSnapshot() const
{
    const auto& list = m_obj->colSubExpressions();
    QHash<const Expression*, int> indexOf;
    indexOf.reserve(list.Count());
    int i = 0;
    for (const auto& s : list)
        indexOf.insert(s.get(), ++i);
    SegmentSnapshot snap;
    // Room for the segments still to be made: growing a long snapshot
    // copies it whole into memory first touched.
    snap.reserve(size_t(list.Count()) * 3 / 2 + 64);
    for (const auto& s : list) {
        SegmentSnap m;
        if (const Chunk* chunk = s->spanPeek())
            m = {true, chunk->dStart, chunk->dend, 0};
        if (const auto next = s->objFollowedBy())
            m.iNext = indexOf.value(next.get(), 0);
        snap.push_back(m);
    }
    return snap;
}

const SegmentSnapshot& VideoWindow::snapshot() const
{
    if (!m_bSnapRead || int(m_snap.size()) - int(m_snapRemovals.size()) != m_obj->colSubExpressions().Count()) {
        m_snap = readSnapshot();
        m_bSnapRead = true;
    } else if (!m_snapRemovals.empty()) {
        RemoveFromSnapshot(m_snap, m_snapRemovals);
    }
    m_snapRemovals.clear();
    return m_snap;
}

void VideoWindow::snapshotAdd(const Expression& segment)
{
    if (!m_bSnapRead)
        return;
    const auto& list = m_obj->colSubExpressions();
    // The snapshot as it was before the addition.
    if (!m_snapRemovals.empty())
        RemoveFromSnapshot(m_snap, m_snapRemovals);
    m_snapRemovals.clear();
    const int index = list.Count();
    if (int(m_snap.size()) != index - 1 || list.Item(index).get() != &segment) {
        m_bSnapRead = false;
        return;
    }
    SegmentSnap m;
    if (const Chunk* chunk = segment.spanPeek())
        m = {true, chunk->dStart, chunk->dend, 0};
    if (const auto next = segment.objFollowedBy())
        m.iNext = list.IndexOf(next);
    // The model links at most one member to the new segment: most likely the
    // one that named the new segment's successor, else any other.
    const auto linksNew = [&](size_t i) { return list.Item(int(i) + 1)->objFollowedBy().get() == &segment; };
    bool bFound = false;
    for (size_t i = 0; i < m_snap.size() && !bFound; ++i)
        if (m_snap[i].iNext == m.iNext && linksNew(i)) {
            m_snap[i].iNext = index;
            bFound = true;
        }
    for (size_t i = 0; i < m_snap.size() && !bFound; ++i)
        if (m_snap[i].iNext != m.iNext && linksNew(i)) {
            m_snap[i].iNext = index;
            bFound = true;
        }
    m_snap.push_back(m);
}

void VideoWindow::spanChanged(int index)
{
    if (!m_bSnapRead)
        return;
    const SegmentSnapshot& snap = snapshot();
    const auto segment = member(index);
    if (!segment || size_t(index) > snap.size())
        return;
    SegmentSnap& m = m_snap[size_t(index) - 1];
    const Chunk* chunk = segment->spanPeek();
    m.bSpan = chunk != nullptr;
    m.dStart = chunk ? chunk->dStart : 0;
    m.dEnd = chunk ? chunk->dend : 0;
}

std::shared_ptr<Expression> VideoWindow::member(int index) const
{
    const auto& list = m_obj->colSubExpressions();
    return index >= 1 && index <= list.Count() ? list.Item(index) : nullptr;
}

std::shared_ptr<Video> VideoWindow::video() const { return std::dynamic_pointer_cast<Video>(m_obj); }

void VideoWindow::addControlsFor(const Expression& segment, int position)
{
    // Read, not taken: the span stays the segment's own.
    const Chunk* chunk = segment.spanPeek();
    // A segment without a span sits at the start, without a time of its own.
    const double dStart = chunk ? chunk->dStart : m_advsld->dMin();
    const double dEnd = chunk ? chunk->dend : m_advsld->dMin();
    const QString label = SegmentLabel(segment.strTitle(), dStart, dEnd, m_form.dFrameRate());
    m_advsld->iAddRange(dStart, dEnd, label);
    if (const auto* v = dynamic_cast<const Video*>(&segment))
        m_framelist->iAddImage(v->picKeyFrame(), position, label);
}

void VideoWindow::subExpressionAdded(Expression&, const std::shared_ptr<Expression>& segment)
{
    snapshotAdd(*segment);
    if (m_player && m_ckChunk) {
        const SegmentSnapshot& snap = snapshot();
        addControlsFor(*segment, ChainPlace(snap, int(snap.size())));
    }
}

void VideoWindow::subExpressionRemoved(Expression&, int index)
{
    if (m_bSnapRead)
        m_snapRemovals.push_back(index);
    if (!m_player || !m_ckChunk)
        return;
    if (m_bGathering) {
        m_viewRemovals.push_back(index);
        return;
    }
    m_advsld->RemoveRange(index);
    m_framelist->setISelectedStart(-1);
    m_framelist->setISelectedEnd(-1);
    m_framelist->RemoveImage(index);
}

bool VideoWindow::BlinkTime()
{
    m_bBlinkFlag = !m_bBlinkFlag;
    QPalette p = m_txtTime->palette();
    const QColor back = p.color(QPalette::Base);
    p.setColor(QPalette::Base, p.color(QPalette::Text));
    p.setColor(QPalette::Text, back);
    m_txtTime->setPalette(p);
    return m_bBlinkFlag;
}

void VideoWindow::StopBlinking()
{
    m_blinker->stop();
    if (m_bBlink)
        m_bBlink = BlinkTime();
    m_advsld->RemoveBlinkLine();
}

void VideoWindow::ToggleMark()
{
    if (!m_player || !m_ckChunk)
        return;
    const bool wasMarking = std::exchange(m_bMarking, !m_bMarking);
    if (!wasMarking) {
        m_dStartMark = m_player->CurrentPosition();
        if (IsOutsideSegments(snapshot(), m_dStartMark)) {
            m_blinker->start();
            m_advsld->PutBlinkLine(m_dStartMark);
        } else {
            m_bMarking = false;
            prompts().MsgBox(text(msg::StartInsideSegment));
        }
        return;
    }
    StopBlinking();
    const MarkOutcome o = SecondMark(snapshot(), m_dStartMark, m_player->CurrentPosition());
    if (o.iMessage)
        prompts().MsgBox(text(o.iMessage));
    else
        CreateSegment(o.lo, o.hi);
}

void VideoWindow::CancelMark()
{
    if (!m_bMarking)
        return;
    m_bMarking = false;
    StopBlinking();
}

void VideoWindow::resetTree(const std::vector<std::shared_ptr<Expression>>& added,
                            const std::vector<std::shared_ptr<Expression>>& removed)
{
    documentUi().SegmentsChanged(m_obj, added, removed);
}

void VideoWindow::CreateSegment(double dStart, double dEnd)
{
    const QString title = prompts().InputBox(text(msg::NewExpressionTitlePrompt), text(msg::SegmentTitle));
    if (title.isEmpty())
        return;
    const int before = m_obj->colSubExpressions().Count();
    // The slider and the strip take the new segment from the expression's announcement.
    m_obj->AddSubExpression(title, dStart, dEnd);
    if (m_obj->colSubExpressions().Count() == before)
        return;
    const auto added = member(before + 1);
    if (const auto v = std::dynamic_pointer_cast<Video>(added))
        documentUi().AddSmallKeyFrame(v);
    resetTree({added}, {});
}

bool VideoWindow::AskTimes(double dStart, double dEnd, double& s, double& e)
{
    m_rangeDialog->SetTime(dStart, dEnd, m_form.dFrameRate());
    m_rangeDialog->Show(m_dialog);
    if (m_rangeDialog->bCancel())
        return false;
    s = m_rangeDialog->dGetStartTime();
    e = m_rangeDialog->dGetEndTime();
    // A typed end stops at the clip's end; an end left as it was shown is
    // the stored one, whatever the clip's length, and stays.
    if (e != dEnd)
        e = std::min(e, m_player->Duration());
    return true;
}

void VideoWindow::NewSegmentByDialog()
{
    if (!m_player || !m_ckChunk)
        return;
    const double t = m_player->CurrentPosition();
    double s = 0, e = 0;
    if (!AskTimes(t, t, s, e))
        return;
    if (const int refusal = DialogRefusal(snapshot(), s, e, true))
        prompts().MsgBox(text(refusal));
    else
        CreateSegment(s, e);
}

void VideoWindow::ModifySegmentTimes()
{
    const auto segment = member(m_advsld->iRangeSelectedStart());
    if (!m_player || !m_ckChunk || !segment)
        return;
    const int i = m_advsld->iRangeSelectedStart();
    const auto chunk = segment->ckGetChunk();
    const double t = m_player->CurrentPosition();
    double s = 0, e = 0;
    if (!AskTimes(chunk ? chunk->dStart : t, chunk ? chunk->dend : t, s, e))
        return;
    if (const int refusal = DialogRefusal(snapshot(), s, e, false)) {
        prompts().MsgBox(text(refusal));
        return;
    }
    segment->SetChunk(s, e);
    spanChanged(i);
    m_advsld->UpdateRange(i, s, e);
}

void VideoWindow::DeleteSelectedSegments()
{
    if (m_advsld->iRangeSelectedStart() == -1)
        return;
    if (!bAskYes(msg::ConfirmRemoveExpressions))
        return;
    std::vector<std::shared_ptr<Expression>> removed;
    RemoveSelectedSegments(&removed);
    resetTree({}, removed);
}

bool VideoWindow::RemoveSelectedSegments(std::vector<std::shared_ptr<Expression>>* removed)
{
    if (m_advsld->iRangeSelectedStart() == -1)
        return true;
    // Every member first: a removal shifts the indexes still to be read.
    std::vector<std::shared_ptr<Expression>> chosen;
    for (const int i : m_advsld->colSelectedIndexes())
        if (const auto s = member(i))
            chosen.push_back(s);
    {
        // The slider and the strip lose the removed segments together.
        m_viewRemovals.clear();
        const QScopedValueRollback gathering(m_bGathering, true);
        m_obj->RemoveSubExpressionsByPointer(chosen);
    }
    if (!m_viewRemovals.empty()) {
        m_advsld->RemoveRanges(m_viewRemovals);
        m_framelist->setISelectedStart(-1);
        m_framelist->setISelectedEnd(-1);
        m_framelist->RemoveImages(std::exchange(m_viewRemovals, {}));
    }
    if (removed)
        *removed = chosen;
    // One pass over the list, not one per chosen segment.
    std::vector<const Expression*> gone;
    for (const auto& s : chosen)
        gone.push_back(s.get());
    std::sort(gone.begin(), gone.end());
    const auto& list = m_obj->colSubExpressions();
    return std::none_of(list.begin(), list.end(),
                        [&](const auto& s) { return std::binary_search(gone.begin(), gone.end(), s.get()); });
}

void VideoWindow::MergeSelectedSegments()
{
    const int a = m_advsld->iRangeSelectedStart();
    if (a == -1)
        return;
    if (!bAskYes(msg::ConfirmMergeExpressions))
        return;
    const std::vector<int> indexes = m_advsld->colSelectedIndexes();
    const SegmentSnapshot& snap = snapshot();
    const auto span = MergeSpan(snap, indexes);
    const auto anchor = member(a);
    if (!span || !anchor)
        return;
    // A segment inside the span that is not merged would drop out of the chain.
    if (SwallowsOther(snap, span->first, span->second, indexes)) {
        prompts().MsgBox(text(msg::IntervalContainsOthers));
        return;
    }
    const QString title = anchor->strTitle();
    std::vector<std::shared_ptr<Expression>> removed, added;
    const bool removedAll = RemoveSelectedSegments(&removed);
    if (removedAll) {
        const int before = m_obj->colSubExpressions().Count();
        m_obj->AddSubExpression(title, span->first, span->second);
        if (m_obj->colSubExpressions().Count() > before) {
            added.push_back(member(before + 1));
            if (const auto v = std::dynamic_pointer_cast<Video>(added.back()))
                documentUi().AddSmallKeyFrame(v);
        }
    }
    resetTree(added, removed);
}

void VideoWindow::ExpandLeft()
{
    if (!m_player || !m_ckChunk)
        return;
    const double t = m_player->CurrentPosition();
    const int k = ExpandLeftTarget(snapshot(), t);
    if (const auto segment = member(k)) {
        const double dStart = segment->ckGetChunk()->dStart;
        segment->SetChunk(dStart, t);
        spanChanged(k);
        m_advsld->UpdateRange(k, dStart, t);
    }
}

void VideoWindow::ExpandRight()
{
    if (!m_player || !m_ckChunk)
        return;
    const double t = m_player->CurrentPosition();
    const int k = ExpandRightTarget(snapshot(), t);
    if (const auto segment = member(k)) {
        const double dEnd = segment->ckGetChunk()->dend;
        segment->SetChunk(t, dEnd);
        spanChanged(k);
        m_advsld->UpdateRange(k, t, dEnd);
    }
}

void VideoWindow::SeekNextSegment()
{
    if (!m_player || !m_ckChunk)
        return;
    if (const auto to = NextBound(snapshot(), m_player->CurrentPosition()))
        SeekTo(*to);
}

void VideoWindow::SeekPrevSegment()
{
    if (!m_player || !m_ckChunk)
        return;
    if (const auto to = PrevBound(snapshot(), m_player->CurrentPosition()))
        SeekTo(*to);
}

void VideoWindow::UpdateKeyFrame()
{
    const auto v = video();
    if (!v || !m_player)
        return;
    // The clip holds no frame of such a segment: a keyframe taken from its
    // last one would lie outside the segment's own times.
    if (const Chunk* span = v->spanPeek(); span && bPastClipEnd(*span, m_player->Duration())) {
        SayPastClipEnd();
        return;
    }
    if (!bAskYes(msg::ConfirmUpdateKeyframe))
        return;
    v->SetKeyFrameTime(m_player->CurrentPosition());
    documentUi().UpdateSmallKeyFrames();
    prompts().MsgBox(text(msg::KeyframeUpdated));
}

void VideoWindow::seekToStartOf(int index)
{
    const auto segment = member(index);
    const auto chunk = segment ? segment->ckGetChunk() : nullptr;
    // A segment without a span is selected where it stands, without a seek.
    if (!chunk)
        return;
    m_advsld->setDPosition(chunk->dStart);
    SeekTo(m_advsld->dPosition());
}

void VideoWindow::advsld_Click(int index)
{
    if (!m_player)
        return;
    seekToStartOf(index);
    m_framelist->setISelectedStart(m_advsld->iRangeSelectedStart());
    m_framelist->setISelectedEnd(m_advsld->iRangeSelectedEnd());
}

void VideoWindow::Framelist1_ImageClick(int index)
{
    if (!m_player)
        return;
    seekToStartOf(index);
    m_advsld->setIRangeSelectedStart(m_framelist->iSelectedStart());
    m_advsld->setIRangeSelectedEnd(m_framelist->iSelectedEnd());
}

void VideoWindow::advsld_Scroll()
{
    if (m_player)
        SeekTo(m_advsld->dPosition());
}

void VideoWindow::OpenSegment(int index)
{
    const auto segment = member(index);
    if (!segment)
        return;
    // The segment's editor opens, owned by the main window, once this one has closed.
    m_form.setNext(segment);
    m_dialog->reject();
}

void VideoWindow::Form_KeyUp(int key, Qt::KeyboardModifiers shift)
{
    if ((shift & ~Qt::KeypadModifier) != Qt::NoModifier || m_iTab != 1 || bEditsText(QApplication::focusWidget()))
        return;
    if (key == Qt::Key_Delete)
        DeleteSelectedSegments();
    else if (key == Qt::Key_Escape)
        CancelMark();
}

} // namespace vimra
