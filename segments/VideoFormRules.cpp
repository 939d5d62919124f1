#include "segments/VideoFormRules.h"

#include "records/Procedures.h"
#include "records/ValueTypes.h"
#include "resources/MessageIds.h"
#include "segments/Removals.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace vimra {

QString FormatTime(double dSeconds, double dFrameRate)
{
    // A time below zero (a position a hair before the start) shows as the start.
    const auto parts = vSecondsToTimeParts(dSeconds > 0 ? dSeconds : 0.0, dFrameRate);
    QStringList texts;
    for (int i = 1; i <= 4; ++i)
        texts << QStringLiteral("%1").arg(parts[i], 2, 10, QLatin1Char('0'));
    return texts.join(QLatin1Char(':'));
}

PlayerLayout LayoutPlayer()
{
    PlayerLayout l;
    l.BackButt = {100, 450, 855, 375};
    l.txtTime = {l.BackButt.right() + 50, l.BackButt.top + (l.BackButt.height - 285) / 2, 975, 285};
    l.picVideoWindow = {100, l.BackButt.bottom() + 50, 4000, 3000};
    double left = 100;
    for (auto& b : l.buttons) {
        b = {left, l.picVideoWindow.bottom() + 100, 615, 360};
        left += b.width;
    }
    l.rtbTrans = {l.picVideoWindow.right() + 200, l.BackButt.bottom() + 50, 4000, 3000};
    return l;
}

EditorLayout LayoutEditor(double W, double V, const PlayerLayout& player)
{
    EditorLayout l;
    const TwipsRect& play = player.buttons[0];
    l.VideoFrame = {100, play.bottom(), std::max(0.0, W - 200 - V), 3800};
    l.advsld = {200, l.VideoFrame.top + 1300, std::max(0.0, W - 400 - V), 1200};
    l.Framelist1 = {200, l.advsld.bottom(), std::max(0.0, W - 400 - V), 1200};
    double left = l.VideoFrame.left + 200;
    for (auto& b : l.buttons) {
        b = {left, l.VideoFrame.top + 400, 615, 360};
        left += b.width;
    }
    return l;
}

void TranscriptFollower::reset(std::shared_ptr<WordColl> words)
{
    m_words = std::move(words);
    m_iLastWord = 0;
}

QString TranscriptFollower::advance(double dPos)
{
    QString text;
    if (!m_words)
        return text;
    const int count = m_words->Count();
    for (int i = m_iLastWord + 1; i <= count; ++i) {
        const auto word = m_words->Item(i);
        if (word && word->dStart <= dPos) {
            text += QLatin1Char(' ') + word->strTxt;
            ++m_iLastWord;
        }
    }
    return text;
}

void TranscriptFollower::rebuild(double dPos)
{
    m_iLastWord = 0;
    if (!m_words)
        return;
    for (int i = 1; i <= m_words->Count(); ++i) {
        const auto word = m_words->Item(i);
        if (word && word->dStart < dPos)
            ++m_iLastWord;
    }
}

std::optional<double> RewindTarget(double p, const Chunk* span, double avgTimePerFrame)
{
    if (span && p == span->dStart)
        return std::nullopt;
    return p - avgTimePerFrame;
}

std::optional<double> ForwardTarget(double p, const Chunk* span, double avgTimePerFrame)
{
    if (span && p == span->dend)
        return std::nullopt;
    return p + avgTimePerFrame;
}

double ClampSeek(double dPos, double duration)
{
    return std::clamp(dPos, 0.0, std::max(0.0, duration));
}

namespace {

bool bLimits(double duration) { return std::isfinite(duration) && duration > 0; }

} // namespace

Chunk ShownSpan(const Chunk& stored, double duration)
{
    Chunk shown = stored;
    if (bLimits(duration)) {
        shown.dStart = std::min(shown.dStart, duration);
        shown.dend = std::min(shown.dend, duration);
    }
    return shown;
}

bool bPastClipEnd(const Chunk& stored, double duration)
{
    return bLimits(duration) && stored.dStart > duration;
}

SegmentSnapshot SnapshotOf(const std::vector<ChainLink>& list)
{
    std::unordered_map<const void*, int> indexOf;
    for (size_t i = 0; i < list.size(); ++i)
        indexOf.emplace(list[i].self, int(i) + 1);
    SegmentSnapshot snap(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const auto found = list[i].next ? indexOf.find(list[i].next) : indexOf.end();
        snap[i].iNext = found == indexOf.end() ? 0 : found->second;
    }
    return snap;
}

void RemoveFromSnapshot(SegmentSnapshot& s, const std::vector<int>& removals)
{
    const int n = int(s.size());
    std::vector<int> original = OriginalIndexes(n, removals);
    if (original.empty())
        return;
    const std::vector<bool> gone = RemovedMarks(n, original);
    // A link into removed members leads, one closed gap after another, to
    // the first member left; removed members linked in a loop lead nowhere.
    // Followed while the removed members are still in place; a member left
    // then names its new successor by its index before the removals.
    const size_t limit = original.size() + 1;
    for (int i = 1; i <= n; ++i) {
        int to = s[size_t(i) - 1].iNext;
        if (gone[size_t(i)] || to == 0 || !gone[size_t(to)])
            continue;
        size_t steps = 0;
        while (to != 0 && gone[size_t(to)] && steps <= limit) {
            to = s[size_t(to) - 1].iNext;
            ++steps;
        }
        if (steps > limit || to == i)
            to = 0;
        s[size_t(i) - 1].iNext = to;
    }
    // The members left move up in place: each index falls by the removed
    // ones before it.
    std::sort(original.begin(), original.end());
    const auto newIndex = [&](int to) {
        return to < original.front() ? to
                                     : to - int(std::upper_bound(original.begin(), original.end(), to) - original.begin());
    };
    size_t kept = 0;
    for (int i = 1; i <= n; ++i) {
        if (gone[size_t(i)])
            continue;
        SegmentSnap m = s[size_t(i) - 1];
        m.iNext = m.iNext == 0 ? 0 : newIndex(m.iNext);
        s[kept++] = m;
    }
    s.resize(kept);
}

std::vector<int> ChainPositions(const std::vector<ChainLink>& list)
{
    return KeyFramePositions(SnapshotOf(list));
}

bool IsOutsideSegments(const SegmentSnapshot& s, double t)
{
    return std::none_of(s.begin(), s.end(), [t](const SegmentSnap& m) { return m.bSpan && m.dStart < t && m.dEnd > t; });
}

bool IntervalHasNoSegment(const SegmentSnapshot& s, double a, double b)
{
    return std::none_of(s.begin(), s.end(), [&](const SegmentSnap& m) { return m.bSpan && m.dStart >= a && m.dEnd <= b; });
}

bool IntervalOverlapsNone(const SegmentSnapshot& s, double a, double b)
{
    return IsOutsideSegments(s, a) && IsOutsideSegments(s, b);
}

int ChainHead(const SegmentSnapshot& s)
{
    std::vector<bool> named(s.size() + 1, false);
    for (const auto& m : s)
        named[size_t(m.iNext)] = true;
    for (size_t i = 1; i <= s.size(); ++i)
        if (!named[i])
            return int(i);
    return 0;
}

int ChainTail(const SegmentSnapshot& s)
{
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i].iNext == 0)
            return int(i) + 1;
    return 0;
}

std::vector<int> ChainForward(const SegmentSnapshot& s)
{
    std::vector<int> order;
    std::vector<bool> seen(s.size() + 1, false);
    for (int at = ChainHead(s); at != 0 && !seen[size_t(at)]; at = s[size_t(at) - 1].iNext) {
        seen[size_t(at)] = true;
        order.push_back(at);
    }
    return order;
}

std::vector<int> ChainBackward(const SegmentSnapshot& s)
{
    // The predecessor of a member is the first in list order naming it.
    std::vector<int> previous(s.size() + 1, 0);
    for (size_t i = s.size(); i >= 1; --i)
        previous[size_t(s[i - 1].iNext)] = int(i);
    std::vector<int> order;
    std::vector<bool> seen(s.size() + 1, false);
    for (int at = ChainTail(s); at != 0 && !seen[size_t(at)]; at = previous[size_t(at)]) {
        seen[size_t(at)] = true;
        order.push_back(at);
    }
    return order;
}

int ChainPlace(const SegmentSnapshot& s, int index)
{
    std::vector<bool> seen(s.size() + 1, false);
    int place = 0;
    for (int at = ChainHead(s); at != 0 && !seen[size_t(at)]; at = s[size_t(at) - 1].iNext) {
        seen[size_t(at)] = true;
        ++place;
        if (at == index)
            return place;
    }
    return 0;
}

std::vector<int> KeyFramePositions(const SegmentSnapshot& s)
{
    std::vector<int> positions(s.size(), 0);
    int place = 0;
    for (const int i : ChainForward(s))
        positions[size_t(i) - 1] = ++place;
    return positions;
}

std::optional<double> NextBound(const SegmentSnapshot& s, double t)
{
    for (const int i : ChainForward(s)) {
        const auto& m = s[size_t(i) - 1];
        if (!m.bSpan)
            continue;
        if (m.dStart > t)
            return m.dStart;
        if (m.dEnd > t)
            return m.dEnd;
    }
    return std::nullopt;
}

std::optional<double> PrevBound(const SegmentSnapshot& s, double t)
{
    for (const int i : ChainBackward(s)) {
        const auto& m = s[size_t(i) - 1];
        if (!m.bSpan)
            continue;
        if (m.dEnd < t)
            return m.dEnd;
        if (m.dStart < t)
            return m.dStart;
    }
    return std::nullopt;
}

int ExpandLeftTarget(const SegmentSnapshot& s, double t)
{
    for (const int i : ChainBackward(s)) {
        const auto& m = s[size_t(i) - 1];
        if (m.bSpan && m.dEnd <= t)
            return m.dEnd == t ? 0 : i;
    }
    return 0;
}

int ExpandRightTarget(const SegmentSnapshot& s, double t)
{
    for (const int i : ChainForward(s)) {
        const auto& m = s[size_t(i) - 1];
        if (m.bSpan && m.dStart >= t)
            return m.dStart == t ? 0 : i;
    }
    return 0;
}

std::optional<std::pair<double, double>> MergeSpan(const SegmentSnapshot& s, const std::vector<int>& indexes)
{
    std::optional<std::pair<double, double>> span;
    for (const int i : indexes) {
        if (i < 1 || size_t(i) > s.size() || !s[size_t(i) - 1].bSpan)
            continue;
        const auto& m = s[size_t(i) - 1];
        span = span ? std::pair{std::min(span->first, m.dStart), std::max(span->second, m.dEnd)}
                    : std::pair{m.dStart, m.dEnd};
    }
    return span;
}

bool SwallowsOther(const SegmentSnapshot& s, double a, double b, const std::vector<int>& indexes)
{
    const std::unordered_set<int> merged(indexes.begin(), indexes.end());
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i].bSpan && s[i].dStart >= a && s[i].dEnd <= b && !merged.count(int(i) + 1))
            return true;
    return false;
}

MarkOutcome SecondMark(const SegmentSnapshot& s, double startMark, double endMark)
{
    MarkOutcome out{0, std::min(startMark, endMark), std::max(startMark, endMark)};
    if (!IsOutsideSegments(s, endMark))
        out.iMessage = msg::EndInsideSegment;
    else if (!IntervalHasNoSegment(s, out.lo, out.hi))
        out.iMessage = msg::IntervalContainsOthers;
    return out;
}

int DialogRefusal(const SegmentSnapshot& s, double dStart, double dEnd, bool bNew)
{
    if (dEnd < dStart)
        return msg::InvalidTimeInterval;
    if (!bNew)
        return 0;
    if (!IntervalOverlapsNone(s, dStart, dEnd))
        return msg::IntervalOverlaps;
    if (!IntervalHasNoSegment(s, dStart, dEnd))
        return msg::IntervalContainsOthers;
    return 0;
}

QString SegmentLabel(const QString& title, double dStart, double dEnd, double dFrameRate)
{
    return QStringLiteral("'") + title + QStringLiteral("': From ") + FormatTime(dStart, dFrameRate)
        + QStringLiteral(" To ") + FormatTime(dEnd, dFrameRate);
}

} // namespace vimra
