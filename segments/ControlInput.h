#pragma once

#include <QString>
#include <Qt>

class QHelpEvent;
class QWidget;

namespace vimra {

// Shift without Ctrl or Alt: the one state that extends a run.
bool isShiftAlone(Qt::KeyboardModifiers modifiers);

// Shows the label of what lies under a tool-tip event; no label hides the tip.
void showLabelTip(QWidget* owner, QHelpEvent* help, const QString& label);

} // namespace vimra
