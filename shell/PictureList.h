#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>

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
    };

    // Appends; false, with nothing added, when the key is taken.
    bool Add(const QString& strKey, const QPixmap& pixmap, const QString& strTag = QString());
    // The picture under the key (exact comparison); null when there is none.
    QPixmap Item(const QString& strKey) const;
    bool Contains(const QString& strKey) const { return indexOf(strKey) >= 0; }
    // Removes the first picture under the key; false when there is none.
    bool Remove(const QString& strKey);
    // Removes every picture tagged `strTag`.
    void RemoveTagged(const QString& strTag);

    int Count() const { return int(m_pictures.size()); }
    const std::vector<Picture>& pictures() const { return m_pictures; }

private:
    int indexOf(const QString& strKey) const;

    std::vector<Picture> m_pictures;
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
