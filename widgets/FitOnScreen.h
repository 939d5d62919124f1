#pragma once

class QWidget;

namespace vimra {

// Shrinks a window that is larger than the free area of the screen it opens
// on (its owner's screen when it has one) down to that area, never below its
// minimum size, so that its own buttons can be reached; the dialog's own
// placement then keeps it on the screen.
void FitOnScreen(QWidget& window, const QWidget* owner);

} // namespace vimra
