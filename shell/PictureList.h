#pragma once

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QString>

#include <optional>
#include <vector>

namespace vimra {

// An ordered list of pictures under unique text keys, each with a tag: the
// trees' node pictures, to which keyframe icons are added at run time.
class PictureList {
public:
    struct Picture {
        QString strKey;
        QPixmap pixmap;
        QString strTag;
        qint64 source = 0; // what the picture was made from, as its maker tells
    };

    // Appends; false, with nothing added, when the key is taken.
    bool Add(const QString& strKey, const QPixmap& pixmap, const QString& strTag = QString(), qint64 source = 0);
    // The picture under the key, when there is one with that tag; nullptr otherwise.
    const Picture* Find(const QString& strKey, const QString& strTag) const;
    // Replaces the picture under the key where it stands; false when there is none.
    bool Replace(const QString& strKey, const QPixmap& pixmap, qint64 source);
    // The keys of the pictures tagged `strTag`, in list order.
    std::vector<QString> keysTagged(const QString& strTag) const;
    // Keeps of the pictures tagged `strTag` only those under `keys`, after
    // every other picture and in the order of `keys` (each key once), as
    // removing them all and adding them again in that order would leave them.
    void KeepTagged(const QString& strTag, const std::vector<QString>& keys);
    // The picture under the key (exact comparison); null when there is none.
    QPixmap Item(const QString& strKey) const;
    bool Contains(const QString& strKey) const { return m_index.contains(strKey); }
    // Removes the first picture under the key; false when there is none.
    bool Remove(const QString& strKey);
    // Removes every picture tagged `strTag`.
    void RemoveTagged(const QString& strTag);

    int Count() const { return int(m_index.size()); }
    // In the order they were added.
    std::vector<Picture> pictures() const;

private:
    void compact();

    std::vector<std::optional<Picture>> m_places; // empty where a picture was removed
    QHash<QString, size_t> m_index;                 // place by key
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
