#pragma once

#include "widgets/Twips.h"

#include <QString>

#include <array>
#include <memory>
#include <optional>
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

// One member of the segment list and the segment its followed-by link names
// (nullptr for none); identity is all that counts.
struct ChainLink {
    const void* self = nullptr;
    const void* next = nullptr;
};
// The 1-based place along the chain of every list member, in one walk; 0 for
// a member the chain from its head does not reach.
std::vector<int> ChainPositions(const std::vector<ChainLink>& list);

// "'title': From hh:mm:ss:ff To hh:mm:ss:ff"
QString SegmentLabel(const QString& title, double dStart, double dEnd, double dFrameRate);

} // namespace vimra
