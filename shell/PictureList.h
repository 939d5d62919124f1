#pragma once

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QString>

#include <optional>
#include <vector>

namespace vimra {

// An ordered list of pictures under unique text keys, each with a tag: the
// trees' node pictures, to which keyframe icons are added at run time. The
// pictures of one tag may be sorted after the others by keys of their own;
// the order is kept apart from the pictures and worked out when asked for,
// so neither a sort nor an add or removal moves the others.
class PictureList {
public:
    struct Picture {
        QString strKey;
        QPixmap pixmap;
        QString strTag;
        qint64 source = 0; // what the picture was made from, as its maker tells
    };

    // Appends, with the key the next SortTagged places it by; false, with
    // nothing added, when the key is taken.
    bool Add(const QString& strKey, const QPixmap& pixmap, const QString& strTag = QString(), qint64 source = 0,
             quint64 sortKey = 0);
    // The picture under the key, when there is one with that tag; nullptr otherwise.
    const Picture* Find(const QString& strKey, const QString& strTag) const;
    // Replaces the picture under the key where it stands; false when there is none.
    bool Replace(const QString& strKey, const QPixmap& pixmap, qint64 source);
    // The keys of the pictures tagged `strTag`, in list order.
    std::vector<QString> keysTagged(const QString& strTag) const;
    int CountTagged(const QString& strTag) const { return m_tagged.value(strTag); }
    // What the next SortTagged places the picture under the key by; false when there is none.
    bool SetSortKey(const QString& strKey, quint64 sortKey);
    // Keeps of the pictures tagged `strTag` only those under `keys`, each
    // with the sort key given at its first mention, and sorts them.
    void KeepTagged(const QString& strTag, const std::vector<std::pair<QString, quint64>>& keys);
    // Places the pictures tagged `strTag` after every other picture, by their
    // sort keys (equal keys in the order added); pictures added later follow
    // them in the order added. Costs the same whatever the number of pictures.
    void SortTagged(const QString& strTag);
    // The picture under the key (exact comparison); null when there is none.
    QPixmap Item(const QString& strKey) const;
    bool Contains(const QString& strKey) const { return m_index.contains(strKey); }
    // Removes the first picture under the key; false when there is none.
    bool Remove(const QString& strKey);
    // Removes every picture tagged `strTag`.
    void RemoveTagged(const QString& strTag);

    int Count() const { return int(m_index.size()); }
    // In list order.
    std::vector<Picture> pictures() const;
    // Rises with every change.
    quint64 iStamp() const { return m_iStamp; }

private:
    struct Place {
        Picture picture;
        quint64 added = 0; // rises with each add
        quint64 sortKey = 0;
    };
    std::vector<const Place*> ordered() const;
    void compact();

    std::vector<std::optional<Place>> m_places; // in the order added; empty where a picture was removed
    QHash<QString, size_t> m_index;               // place by key
    QHash<QString, int> m_tagged;                 // pictures by tag
    quint64 m_iAdded = 0;
    // The pictures added before m_iSorted stand as the last SortTagged of
    // m_strSorted placed them; those added since follow.
    quint64 m_iSorted = 0;
    QString m_strSorted;
    quint64 m_iStamp = 0;
};

// The fifteen fixed node pictures, in their list order.
const std::vector<QString>& treePictureKeys();
// A fixed node picture at 32 x 32 pixels, by key; null for any other key.
QPixmap treePicture(const QString& strKey);

// The "RedFrame" picture: 32 x 32 pixels, a one-pixel pure red border
// around a white inside.
QImage redFramePicture();
// A keyframe icon: `base` stretched to 32 x 32 pixels (aspect not kept) with
// `frame` drawn over it, its white pixels transparent.
QImage keyframeIcon(const QImage& base, const QImage& frame);

} // namespace vimra
