#include "segments/FramelistModel.h"

#include "records/Coll.h"
#include "segments/Removals.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace vimra {

StripSlot stripSlot(int position, int imageX, int imageY)
{
    const double left = double(position - 1) * (imageX + 100);
    return {{left, 0, double(imageX + 100), double(imageY + 100)},
            {left + 50, 50, double(imageX), double(imageY)}};
}

StripScroll stripScroll(int imageX, int imageCount, double controlWidth)
{
    StripScroll s;
    s.stripWidth = (imageX + 100) * imageCount + 100;
    s.smallChange = int(std::nearbyint(imageX / 4.0));
    s.largeChange = imageX + 100;
    s.visible = controlWidth < s.stripWidth;
    s.max = s.visible ? int(std::nearbyint(s.stripWidth - controlWidth)) : 0;
    return s;
}

FramelistModel::FramelistModel()
{
    ReadProperties({});
}

void FramelistModel::setImageX(int value)
{
    m_imageX = value;
    m_bSlotsStale = true;
}

void FramelistModel::setImageY(int value)
{
    m_imageY = value;
    m_bSlotsStale = true;
}

int FramelistModel::iAddImage(const QImage& picture, int position, const QString& label)
{
    StripImage image;
    image.picture = picture;
    image.label = label;
    image.element = m_nextElement++;
    image.position = position;
    image.squareColor = m_squareColor;
    image.slot = stripSlot(position, m_imageX, m_imageY);
    m_images.push_back(image);

    // Whether the position is held is counted, not searched: the editor
    // fills the strip with every position once, in any order.
    const bool held = position < 1 ? std::any_of(m_images.begin(), m_images.end() - 1,
                                                 [&](const StripImage& other) { return other.position == position; })
                                   : heldAt(position) > 0;
    if (held) {
        for (auto it = m_images.begin(); it != m_images.end() - 1; ++it) {
            if (it->position >= position) {
                ++it->position;
                it->slot = stripSlot(it->position, m_imageX, m_imageY);
            }
        }
        // Distinct positions from 1 stay so, each from this one on held
        // one further, and this one held by the new image.
        if (m_iUndistinct == 0 && position >= 1) {
            heldAt(position);
            m_heldAt.insert(m_heldAt.begin() + position, 1);
        } else {
            countPositions();
        }
    } else if (position >= 1) {
        ++heldAt(position);
    } else {
        ++m_iUndistinct;
    }
    layOut();
    Changed();
    return Count();
}

void FramelistModel::RemoveSelected()
{
    if (m_iStart == -1)
        return;
    std::vector<int> run;
    for (int i = 1; i <= Count(); ++i)
        if (inRun(i))
            run.push_back(m_images[size_t(i - 1)].element);
    m_iStart = -1;
    m_iEnd = -1;
    for (int element : run) {
        const auto it = std::find_if(m_images.begin(), m_images.end(),
                                     [&](const StripImage& image) { return image.element == element; });
        RemoveImage(int(it - m_images.begin()) + 1);
    }
}

void FramelistModel::RemoveImage(int index)
{
    RemoveImages({index});
}

void FramelistModel::RemoveImages(const std::vector<int>& indexes)
{
    const int n = Count();
    const std::vector<int> original = OriginalIndexes(n, indexes);
    if (original.empty())
        return;
    const std::vector<bool> gone = RemovedMarks(n, original);
    const bool bDistinct = m_iUndistinct == 0;
    // Distinct positions stay distinct and keep their order: each image
    // moves left by the removed ones before it.
    std::vector<int> removedAt;
    // Shared positions may merge as images go: each removal in turn.
    std::vector<int> positions;
    if (bDistinct) {
        for (const int o : original)
            removedAt.push_back(m_images[size_t(o - 1)].position);
        std::sort(removedAt.begin(), removedAt.end());
    } else {
        positions.assign(size_t(n) + 1, 0);
        for (int i = 1; i <= n; ++i)
            positions[size_t(i)] = m_images[size_t(i - 1)].position;
        std::vector<bool> left(size_t(n) + 1, true);
        for (const int o : original) {
            const int p = positions[size_t(o)];
            left[size_t(o)] = false;
            for (int i = 1; i <= n; ++i)
                if (left[size_t(i)] && positions[size_t(i)] > p)
                    --positions[size_t(i)];
        }
    }
    size_t kept = 0;
    for (int i = 1; i <= n; ++i) {
        if (gone[size_t(i)])
            continue;
        StripImage& image = m_images[size_t(i - 1)];
        const int p = bDistinct ? image.position
                                      - int(std::lower_bound(removedAt.begin(), removedAt.end(), image.position)
                                            - removedAt.begin())
                                : positions[size_t(i)];
        if (image.position != p) {
            image.position = p;
            image.slot = stripSlot(p, m_imageX, m_imageY);
        }
        if (kept != size_t(i - 1))
            m_images[kept] = std::move(image);
        ++kept;
    }
    m_images.resize(kept);
    if (bDistinct) {
        // The positions held lose the removed ones, the later ones moving
        // down likewise (the count of a position is at the position itself).
        const size_t size = m_heldAt.size();
        std::vector<int> counts;
        for (const int p : removedAt)
            counts.push_back(p + 1);
        ErasePositions(m_heldAt, counts);
        m_heldAt.resize(size, 0);
    } else {
        countPositions();
    }
    // The selection keeps its indexes, unless they now name no image.
    if (m_iStart > Count() || m_iEnd > Count()) {
        m_iStart = -1;
        m_iEnd = -1;
    }
    layOut();
    Changed();
}

int& FramelistModel::heldAt(int position)
{
    const size_t i = size_t(position);
    if (i >= m_heldAt.size())
        m_heldAt.resize(i + 1, 0);
    return m_heldAt[i];
}

void FramelistModel::countPositions()
{
    m_heldAt.assign(m_heldAt.size(), 0);
    m_iUndistinct = 0;
    for (const auto& image : m_images)
        if (image.position < 1 || ++heldAt(image.position) > 1)
            ++m_iUndistinct;
}

void FramelistModel::Refresh()
{
    layOut();
    Changed();
}

void FramelistModel::setISelectedStart(int value)
{
    if (value == 0 || value > Count() || value < -1)
        return;
    m_iStart = value;
    m_iEnd = value;
    if (value != -1)
        showRun();
    Changed();
}

void FramelistModel::setISelectedEnd(int value)
{
    if (value < 1 || value > Count() || m_iStart == -1)
        return;
    m_iEnd = value;
    showRun();
    Changed();
}

void FramelistModel::setSquareColor(quint32 value)
{
    for (auto& image : m_images)
        image.squareColor = value;
    m_squareColor = value;
    Changed();
}

void FramelistModel::setStartSquareColor(quint32 value)
{
    m_startSquareColor = value;
}

std::vector<PersistedProperty> FramelistModel::persisted()
{
    return {
        {"SquareColor", fixedDefault(0xFFFFFFu), [this] { return QVariant(m_squareColor); },
         [this](const QVariant& v) { setSquareColor(v.toUInt()); }},
        {"StartSquareColor", fixedDefault(0xFFFFFFu), [this] { return QVariant(m_startSquareColor); },
         [this](const QVariant& v) { setStartSquareColor(v.toUInt()); }},
        {"ImageX", fixedDefault(1000), [this] { return QVariant(m_imageX); },
         [this](const QVariant& v) { setImageX(v.toInt()); }},
        {"ImageY", fixedDefault(750), [this] { return QVariant(m_imageY); },
         [this](const QVariant& v) { setImageY(v.toInt()); }},
        {"iSelectedStart", fixedDefault(-1), [this] { return QVariant(m_iStart); },
         [this](const QVariant& v) { setISelectedStart(v.toInt()); }},
        {"iSelectedEnd", fixedDefault(-1), [this] { return QVariant(m_iEnd); },
         [this](const QVariant& v) { setISelectedEnd(v.toInt()); }},
    };
}

void FramelistModel::ReadProperties(const QVariantMap& saved)
{
    readProperties(persisted(), saved);
}

QVariantMap FramelistModel::WriteProperties() const
{
    return writeProperties(const_cast<FramelistModel*>(this)->persisted());
}

int FramelistModel::ImageAt(double x, double y) const
{
    if (y >= canvasHeight())
        return 0;
    const double cx = x - m_canvasLeft;
    for (int i = Count(); i >= 1; --i) {
        const TwipsRect& r = m_images[size_t(i - 1)].slot.image;
        if (cx >= r.left && cx < r.right() && y >= r.top && y < r.bottom())
            return i;
    }
    return 0;
}

void FramelistModel::Resize(double widthTwips, double heightTwips, double scrollBarHeightTwips)
{
    m_width = widthTwips;
    m_height = heightTwips;
    m_scrollBarHeight = scrollBarHeightTwips;
    Refresh();
}

void FramelistModel::ScrollTo(int value)
{
    m_canvasLeft = -value;
    Changed();
}

FramelistModel::ImageEvent FramelistModel::PressImage(int index, bool bShiftAlone)
{
    if (index < 1 || index > Count())
        return {};
    if (bShiftAlone) {
        if (m_iStart == -1)
            return {};
        m_iEnd = index;
    } else {
        m_iStart = index;
        m_iEnd = index;
    }
    showRun();
    Changed();
    return {m_iStart, m_images[size_t(m_iStart - 1)].position};
}

FramelistModel::ImageEvent FramelistModel::DoubleClickImage(int index)
{
    return PressImage(index, false);
}

bool FramelistModel::inRun(int index) const
{
    const int a = m_images[size_t(m_iStart - 1)].position;
    const int b = m_images[size_t(m_iEnd - 1)].position;
    const int p = m_images[size_t(index - 1)].position;
    return std::min(a, b) <= p && p <= std::max(a, b);
}

void FramelistModel::showRun()
{
    for (int i = 1; i <= Count(); ++i)
        m_images[size_t(i - 1)].squareVisible = inRun(i);
    applyColours();
}

void FramelistModel::applyColours()
{
    if (m_iStart == -1)
        return;
    for (auto& image : m_images)
        image.squareColor = m_squareColor;
    m_images[size_t(m_iStart - 1)].squareColor = m_startSquareColor;
}

void FramelistModel::layOut()
{
    // Adding and removing keep every other slot at its position: only a new
    // picture size moves them all.
    if (m_bSlotsStale)
        for (auto& image : m_images)
            image.slot = stripSlot(image.position, m_imageX, m_imageY);
    m_bSlotsStale = false;
    if (m_iStart != -1)
        showRun();
    m_scroll = stripScroll(m_imageX, Count(), m_width);
    // A scroll bar holds no value above its maximum: the strip follows it back.
    if (-m_canvasLeft > m_scroll.max)
        m_canvasLeft = -m_scroll.max;
    checkInvariants();
}

void FramelistModel::checkInvariants() const
{
    Q_ASSERT(m_iStart == -1 || (m_iStart >= 1 && m_iStart <= Count()));
    Q_ASSERT(m_iEnd == -1 || (m_iEnd >= 1 && m_iEnd <= Count()));
}

} // namespace vimra
