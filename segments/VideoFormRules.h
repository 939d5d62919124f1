#pragma once

#include "widgets/Twips.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vimra {

class WordColl;
struct Chunk;

// The rules of the expression editor that need no window.

// hh:mm:ss:ff, each part at least two digits; hours may run past 99.
QString FormatTime(double dSeconds, double dFrameRate);

// The player group, fixed whatever the window's size.
struct PlayerLayout {
    TwipsRect BackButt;
    TwipsRect txtTime;
    TwipsRect picVideoWindow;
    // cmdPlay, cmdPause, cmdRewind, cmdForward, cmdStop, side by side.
    std::array<TwipsRect, 5> buttons;
    TwipsRect rtbTrans;
};
PlayerLayout LayoutPlayer();

// The editor group; its widths follow the window's inner width.
struct EditorLayout {
    TwipsRect VideoFrame;
    TwipsRect advsld;
    TwipsRect Framelist1;
    // cmdSel, cmdNext, cmdPrev, cmdExpandLeft, cmdExpandRight, cmdModif,
    // cmdNew, cmdCanc, cmdKeyFrame, cmdMerge.
    std::array<TwipsRect, 10> buttons;
    double ImageX = 1000;
    double ImageY = 750;
};
// W is the inner width, V the width of the pane's vertical scroll bar. A
// window too narrow for the controls gives them width 0, never less.
EditorLayout LayoutEditor(double W, double V, const PlayerLayout& player);

// Follows playback through a transcript's word list: words are appended as
// the position passes their start, one at a time, never by rebuilding the text.
class TranscriptFollower {
public:
    // No list: the pane keeps the no-transcript text and nothing follows.
    void reset(std::shared_ptr<WordColl> words);
    bool bHasWordList() const { return m_words != nullptr; }
    int iLastWord() const { return m_iLastWord; }
    // " word" for each word after the last one shown whose start is at or
    // before dPos, joined; the count moves on by one per word shown.
    QString advance(double dPos);
    // After a seek the pane is emptied and counts the words begun before dPos.
    void rebuild(double dPos);

private:
    std::shared_ptr<WordColl> m_words;
    int m_iLastWord = 0;
};

// Where a frame step goes from position p: none when p is exactly at the
// span's bound in that direction. Without a span the step is always made.
// An unknown frame duration (0) steps in place.
std::optional<double> RewindTarget(double p, const Chunk* span, double avgTimePerFrame);
std::optional<double> ForwardTarget(double p, const Chunk* span, double avgTimePerFrame);
// A seek never leaves the media.
double ClampSeek(double dPos, double duration);
// The part of a stored span the clip can show: a time past the clip's end
// falls on it. The editor moves within this copy; the stored span stays as
// it is. A duration that is not a positive number limits nothing.
Chunk ShownSpan(const Chunk& stored, double duration);
// Nothing of the span is in the clip: it starts after the clip has ended.
bool bPastClipEnd(const Chunk& stored, double duration);

// One member of the segment list and the segment its followed-by link names
// (nullptr for none); identity is all that counts.
struct ChainLink {
    const void* self = nullptr;
    const void* next = nullptr;
};
// The 1-based place along the chain of every list member, in one walk; 0 for
// a member the chain from its head does not reach.
std::vector<int> ChainPositions(const std::vector<ChainLink>& list);

// One member of the segment list as the segment rules see it: its span, if
// any, and the 1-based list index of the segment its followed-by link names
// (0 for none). A member without a span is passed over by every rule.
struct SegmentSnap {
    bool bSpan = false;
    double dStart = 0;
    double dEnd = 0;
    int iNext = 0;
};
using SegmentSnapshot = std::vector<SegmentSnap>;
SegmentSnapshot SnapshotOf(const std::vector<ChainLink>& list);
// The snapshot after the model removed these members, each given by its
// list index at its removal, in turn: every member that named a removed one
// names what that one named (nothing when that is itself), as the model
// closes the chain over each gap, and later members move up the list.
void RemoveFromSnapshot(SegmentSnapshot& s, const std::vector<int>& removals);

// A time on a bound is outside.
bool IsOutsideSegments(const SegmentSnapshot& s, double t);
// False when a segment lies within [a, b], bounds included.
bool IntervalHasNoSegment(const SegmentSnapshot& s, double a, double b);
// False when either end lies strictly inside a segment; a segment within
// [s, e] is not looked for.
bool IntervalOverlapsNone(const SegmentSnapshot& s, double a, double b);

// Chain head: the first member no link names; tail: the first without a
// successor. 1-based list indexes, 0 for none.
int ChainHead(const SegmentSnapshot& s);
int ChainTail(const SegmentSnapshot& s);
// List indexes along the chain from the head, and back from the tail
// predecessor by predecessor; each member once, so a broken chain ends.
std::vector<int> ChainForward(const SegmentSnapshot& s);
std::vector<int> ChainBackward(const SegmentSnapshot& s);
// The 1-based chain place of every member, 0 where the walk from the head
// does not reach it.
std::vector<int> KeyFramePositions(const SegmentSnapshot& s);
// KeyFramePositions(s) of one member, found without the others'.
int ChainPlace(const SegmentSnapshot& s, int index);

// The first bound after t along the chain (start, then end of each), and
// the first before it walking back (end, then start).
std::optional<double> NextBound(const SegmentSnapshot& s, double t);
std::optional<double> PrevBound(const SegmentSnapshot& s, double t);
// The member whose end (left) or start (right) moves to t; 0 for none or
// when that bound already is t.
int ExpandLeftTarget(const SegmentSnapshot& s, double t);
int ExpandRightTarget(const SegmentSnapshot& s, double t);

// The span that covers every merged member with a span; none without one.
std::optional<std::pair<double, double>> MergeSpan(const SegmentSnapshot& s, const std::vector<int>& indexes);
// True when [a, b] holds a whole segment that is not among `indexes`.
bool SwallowsOther(const SegmentSnapshot& s, double a, double b, const std::vector<int>& indexes);

// What a second mark gives: the message refusing it (0 for none) and the
// interval from the earlier to the later mark.
struct MarkOutcome {
    int iMessage = 0;
    double lo = 0;
    double hi = 0;
};
MarkOutcome SecondMark(const SegmentSnapshot& s, double startMark, double endMark);
// The refusal of a dialog interval (end already clipped), 0 for none; a new
// segment may not hold another one either.
int DialogRefusal(const SegmentSnapshot& s, double dStart, double dEnd, bool bNew);

// "'title': From hh:mm:ss:ff To hh:mm:ss:ff"
QString SegmentLabel(const QString& title, double dStart, double dEnd, double dFrameRate);

} // namespace vimra
