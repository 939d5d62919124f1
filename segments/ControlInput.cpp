#include "segments/ControlInput.h"

#include <QHelpEvent>
#include <QToolTip>

namespace vimra {

bool isShiftAlone(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == Qt::ShiftModifier;
}

void showLabelTip(QWidget* owner, QHelpEvent* help, const QString& label)
{
    if (label.isEmpty()) {
        QToolTip::hideText();
        help->ignore();
    } else {
        QToolTip::showText(help->globalPos(), label, owner);
    }
}

} // namespace vimra
