#pragma once

#include "widgets/Twips.h"

#include <QByteArray>
#include <QWidget>

namespace vimra {

inline QPoint centreInPixels(const TwipsRect& r)
{
    return toPixels(r).center();
}

// With VIMRA_GRAB_DIR set, a test leaves a picture of the control there to look at.
inline void saveLook(QWidget& w, const char* name)
{
    if (const QByteArray dir = qgetenv("VIMRA_GRAB_DIR"); !dir.isEmpty())
        w.grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

} // namespace vimra
