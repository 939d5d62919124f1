#include "segments/VideoFormRules.h"

#include "records/Procedures.h"
#include "records/ValueTypes.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace vimra {

QString FormatTime(double dSeconds, double dFrameRate)
{
    const auto parts = vSecondsToTimeParts(dSeconds, dFrameRate);
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

std::vector<int> ChainPositions(const std::vector<ChainLink>& list)
{
    std::vector<int> positions(list.size(), 0);
    std::unordered_set<const void*> named;
    std::unordered_map<const void*, const void*> nextOf;
    std::unordered_map<const void*, size_t> firstIndex;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].next)
            named.insert(list[i].next);
        nextOf.emplace(list[i].self, list[i].next);
        firstIndex.emplace(list[i].self, i);
    }
    const void* head = nullptr;
    for (const auto& link : list) {
        if (!named.count(link.self)) {
            head = link.self;
            break;
        }
    }
    // The walk stops at a link back into itself, so a broken chain cannot loop.
    std::unordered_set<const void*> seen;
    int count = 0;
    for (const void* at = head; at && seen.insert(at).second;) {
        const auto found = firstIndex.find(at);
        if (found == firstIndex.end())
            break;
        positions[found->second] = ++count;
        at = nextOf[at];
    }
    return positions;
}

QString SegmentLabel(const QString& title, double dStart, double dEnd, double dFrameRate)
{
    return QStringLiteral("'") + title + QStringLiteral("': From ") + FormatTime(dStart, dFrameRate)
        + QStringLiteral(" To ") + FormatTime(dEnd, dFrameRate);
}

} // namespace vimra
