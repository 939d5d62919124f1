#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace vimra {

// The size a picture of `size` is shown at: itself when it fits `largest`,
// else scaled down to fit, in proportion, never below one pixel a side.
QSize shownPictureSize(QSize size, QSize largest);

// Decodes the picture file held in `bytes` (named `path`, `format` a hint
// such as its suffix) at no more than `largest`. Memory stays bounded by the
// size shown, not the size the file declares. On failure `picture` is null
// and the answer is the message naming the file and why; "" on success.
QString readPicture(const QByteArray& bytes, const QByteArray& format, const QString& path, QSize largest,
                    QImage& picture);

} // namespace vimra
