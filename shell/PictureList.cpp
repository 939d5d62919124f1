#include "shell/PictureList.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace vimra {

bool PictureList::Add(const QString& strKey, const QPixmap& pixmap, const QString& strTag, qint64 source,
                      quint64 sortKey)
{
    if (Contains(strKey))
        return false;
    m_index.insert(strKey, m_places.size());
    m_places.push_back(Place{Picture{strKey, pixmap, strTag, source}, m_iAdded++, sortKey});
    ++m_tagged[strTag];
    ++m_iStamp;
    return true;
}

const PictureList::Picture* PictureList::Find(const QString& strKey, const QString& strTag) const
{
    const auto it = m_index.constFind(strKey);
    if (it == m_index.constEnd() || m_places[*it]->picture.strTag != strTag)
        return nullptr;
    return &m_places[*it]->picture;
}

bool PictureList::Replace(const QString& strKey, const QPixmap& pixmap, qint64 source)
{
    const auto it = m_index.constFind(strKey);
    if (it == m_index.constEnd())
        return false;
    m_places[*it]->picture.pixmap = pixmap;
    m_places[*it]->picture.source = source;
    ++m_iStamp;
    return true;
}

bool PictureList::SetSortKey(const QString& strKey, quint64 sortKey)
{
    const auto it = m_index.constFind(strKey);
    if (it == m_index.constEnd())
        return false;
    m_places[*it]->sortKey = sortKey;
    ++m_iStamp;
    return true;
}

void PictureList::KeepTagged(const QString& strTag, const std::vector<std::pair<QString, quint64>>& keys)
{
    std::vector<bool> kept(m_places.size());
    for (const auto& [key, sortKey] : keys) {
        const auto it = m_index.constFind(key);
        if (it == m_index.constEnd() || kept[*it] || m_places[*it]->picture.strTag != strTag)
            continue;
        kept[*it] = true;
        m_places[*it]->sortKey = sortKey;
    }
    for (size_t k = 0; k < m_places.size(); ++k)
        if (m_places[k] && !kept[k] && m_places[k]->picture.strTag == strTag) {
            m_index.remove(m_places[k]->picture.strKey);
            --m_tagged[strTag];
            m_places[k].reset();
        }
    if (m_index.size() < m_places.size() / 2)
        compact();
    SortTagged(strTag);
}

std::vector<const PictureList::Place*> PictureList::ordered() const
{
    // Before the pictures added since the last sort: the others of that
    // time in the order added, then those of the sorted tag by their keys.
    const auto group = [this](const Place& p) {
        return p.added >= m_iSorted ? 2 : p.picture.strTag == m_strSorted ? 1 : 0;
    };
    std::vector<const Place*> out;
    out.reserve(size_t(m_index.size()));
    for (const auto& place : m_places)
        if (place)
            out.push_back(&*place);
    std::stable_sort(out.begin(), out.end(), [&](const Place* a, const Place* b) {
        const int ga = group(*a), gb = group(*b);
        return ga != gb ? ga < gb : ga == 1 && a->sortKey < b->sortKey;
    });
    return out;
}

void PictureList::SortTagged(const QString& strTag)
{
    if (strTag != m_strSorted && m_iSorted > 0) {
        // Another tag sorted before: its order becomes the order added.
        const auto order = ordered();
        std::vector<std::optional<Place>> places;
        places.reserve(order.size());
        for (const Place* p : order)
            places.emplace_back(std::move(*const_cast<Place*>(p)));
        m_places = std::move(places);
        for (size_t k = 0; k < m_places.size(); ++k) {
            m_places[k]->added = k;
            m_index[m_places[k]->picture.strKey] = k;
        }
        m_iAdded = m_places.size();
    }
    m_strSorted = strTag;
    m_iSorted = m_iAdded;
    ++m_iStamp;
}

std::vector<QString> PictureList::keysTagged(const QString& strTag) const
{
    std::vector<QString> keys;
    for (const Place* p : ordered())
        if (p->picture.strTag == strTag)
            keys.push_back(p->picture.strKey);
    return keys;
}

QPixmap PictureList::Item(const QString& strKey) const
{
    const auto it = m_index.constFind(strKey);
    return it == m_index.constEnd() ? QPixmap() : m_places[*it]->picture.pixmap;
}

bool PictureList::Remove(const QString& strKey)
{
    const auto it = m_index.constFind(strKey);
    if (it == m_index.constEnd())
        return false;
    // The place stays empty until half of them are: a removal costs the
    // same with ten thousand keyframe icons as with ten.
    --m_tagged[m_places[*it]->picture.strTag];
    m_places[*it].reset();
    m_index.erase(it);
    ++m_iStamp;
    if (m_index.size() < m_places.size() / 2)
        compact();
    return true;
}

void PictureList::RemoveTagged(const QString& strTag)
{
    for (auto& place : m_places)
        if (place && place->picture.strTag == strTag) {
            m_index.remove(place->picture.strKey);
            place.reset();
        }
    m_tagged.remove(strTag);
    ++m_iStamp;
    compact();
}

std::vector<PictureList::Picture> PictureList::pictures() const
{
    std::vector<Picture> out;
    out.reserve(size_t(m_index.size()));
    for (const Place* p : ordered())
        out.push_back(p->picture);
    return out;
}

void PictureList::compact()
{
    std::erase_if(m_places, [](const std::optional<Place>& place) { return !place; });
    for (size_t k = 0; k < m_places.size(); ++k)
        m_index[m_places[k]->picture.strKey] = k;
}

const std::vector<QString>& treePictureKeys()
{
    static const std::vector<QString> keys = {
        "AVDocument", "Version",   "ItemSel",   "TranscriptOpen", "Audio",
        "Expression", "Video",     "VideoClosed", "Media",        "VideoOpen",
        "AudioClosed", "AudioOpen", "Storage",  "Transcript",     "TranscriptClosed"};
    return keys;
}

namespace {

const QColor kInk(45, 55, 75);

void page(QPainter& p, const QColor& fill)
{
    QPainterPath sheet;
    sheet.moveTo(7, 3);
    sheet.lineTo(20, 3);
    sheet.lineTo(26, 9);
    sheet.lineTo(26, 29);
    sheet.lineTo(7, 29);
    sheet.closeSubpath();
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(fill);
    p.drawPath(sheet);
    p.drawLine(QPointF(20, 3), QPointF(20, 9));
    p.drawLine(QPointF(20, 9), QPointF(26, 9));
}

void lines(QPainter& p, double top, int n)
{
    p.setPen(QPen(kInk, 1.2));
    for (int i = 0; i < n; ++i)
        p.drawLine(QPointF(10, top + i * 4), QPointF(23, top + i * 4));
}

// A film frame with sprocket holes; `open` shows a lighter picture area.
void filmFrame(QPainter& p, const QColor& body, bool open)
{
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 6, 26, 20), 2, 2);
    p.setBrush(Qt::white);
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF(5 + i * 5, 8, 2.5, 2.5));
        p.drawRect(QRectF(5 + i * 5, 21.5, 2.5, 2.5));
    }
    p.setBrush(open ? QColor(255, 250, 220) : QColor(200, 210, 230));
    p.drawRect(QRectF(6, 12, 20, 8));
}

void speaker(QPainter& p, const QColor& body, int waves)
{
    QPainterPath cone;
    cone.moveTo(5, 12);
    cone.lineTo(10, 12);
    cone.lineTo(17, 6);
    cone.lineTo(17, 26);
    cone.lineTo(10, 20);
    cone.lineTo(5, 20);
    cone.closeSubpath();
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(body);
    p.drawPath(cone);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < waves; ++i)
        p.drawArc(QRectF(13 - i * 3, 10 - i * 3, 10 + i * 6, 12 + i * 6), -50 * 16, 100 * 16);
}

void drawPicture(QPainter& p, const QString& key)
{
    if (key == QLatin1String("AVDocument")) {
        page(p, QColor(250, 248, 238));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 60, 110));
        p.drawRect(QRectF(10, 12, 13, 9));
        p.setBrush(QColor(240, 170, 40));
        QPolygonF play;
        play << QPointF(14, 14) << QPointF(20, 16.5) << QPointF(14, 19);
        p.drawPolygon(play);
        lines(p, 24, 2);
    } else if (key == QLatin1String("Version")) {
        page(p, QColor(232, 242, 255));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(60, 110, 190));
        p.drawEllipse(QRectF(10, 11, 12, 12));
        p.setPen(QPen(Qt::white, 2));
        p.drawText(QRectF(10, 11, 12, 12), Qt::AlignCenter, QStringLiteral("V"));
    } else if (key == QLatin1String("Media")) {
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(QColor(210, 215, 225));
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setBrush(QColor(170, 200, 240));
        p.drawEllipse(QRectF(8, 8, 16, 16));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(13, 13, 6, 6));
    } else if (key == QLatin1String("Storage") || key == QLatin1String("ItemSel")) {
        const bool selected = key == QLatin1String("ItemSel");
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(selected ? QColor(250, 210, 90) : QColor(200, 170, 120));
        p.drawRect(QRectF(4, 10, 24, 17));
        p.setBrush(selected ? QColor(255, 230, 140) : QColor(220, 195, 150));
        p.drawRect(QRectF(2, 6, 28, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(12, 15, 8, 4));
    } else if (key == QLatin1String("Video") || key == QLatin1String("VideoOpen")
               || key == QLatin1String("VideoClosed") || key == QLatin1String("Expression")) {
        filmFrame(p, key == QLatin1String("Expression") ? QColor(90, 90, 90) : QColor(50, 70, 120),
                  key != QLatin1String("VideoClosed"));
    } else if (key == QLatin1String("Audio") || key == QLatin1String("AudioOpen")
               || key == QLatin1String("AudioClosed")) {
        speaker(p, QColor(120, 180, 120), key == QLatin1String("AudioClosed") ? 0 : 2);
    } else if (key == QLatin1String("Transcript") || key == QLatin1String("TranscriptOpen")
               || key == QLatin1String("TranscriptClosed")) {
        page(p, key == QLatin1String("TranscriptClosed") ? QColor(225, 225, 225) : Qt::white);
        lines(p, 11, key == QLatin1String("TranscriptOpen") ? 5 : 4);
    }
}

} // namespace

QPixmap treePicture(const QString& strKey)
{
    const auto& keys = treePictureKeys();
    if (std::find(keys.begin(), keys.end(), strKey) == keys.end())
        return {};
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawPicture(p, strKey);
    return pixmap;
}

QImage redFramePicture()
{
    QImage frame(32, 32, QImage::Format_RGB32);
    frame.fill(Qt::white);
    QPainter p(&frame);
    p.setPen(QColor(255, 0, 0));
    p.drawRect(0, 0, 31, 31);
    return frame;
}

QImage keyframeIcon(const QImage& base, const QImage& frame)
{
    QImage icon(32, 32, QImage::Format_RGB32);
    icon.fill(Qt::white);
    QPainter p(&icon);
    if (!base.isNull())
        p.drawImage(icon.rect(), base);
    QImage overlay = frame.scaled(32, 32).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < overlay.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(overlay.scanLine(y));
        for (int x = 0; x < overlay.width(); ++x)
            if ((line[x] & 0xffffff) == 0xffffff)
                line[x] = 0;
    }
    p.drawImage(0, 0, overlay);
    return icon;
}

} // namespace vimra
