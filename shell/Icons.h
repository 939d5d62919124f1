#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace vimra {

// The program's logo (splash picture and window icon), drawn at `size` pixels.
QPixmap vimraLogo(int size);
// The picture of a main-window toolbar button, by the button's key ("Back",
// "Cut", "View Details", ...); an empty icon for an unknown key.
QIcon toolbarIcon(const QString& key);

} // namespace vimra
