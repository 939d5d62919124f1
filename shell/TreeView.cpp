#include "shell/TreeView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace vimra {

void TreeView::mousePressEvent(QMouseEvent* event)
{
    // The press selects its node first: a right click must act on the node
    // under the mouse, not on the one selected before.
    QTreeWidget::mousePressEvent(event);
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    int button = 0;
    if (event->button() == Qt::LeftButton)
        button = 1;
    else if (event->button() == Qt::RightButton)
        button = 2;
    // A press beside every node reports no button, so that no stale right
    // press pops the menu up at a later keyboard move.
    if (onMouseDown)
        onMouseDown(item ? button : 0);
    if (item && onNodeClick)
        onNodeClick(item);
}

void TreeView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier && onReturn) {
        onReturn();
        return;
    }
    if (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier && onContextKey) {
        onContextKey();
        return;
    }
    QTreeWidgetItem* before = currentItem();
    QTreeWidget::keyPressEvent(event);
    QTreeWidgetItem* after = currentItem();
    if (after && after != before && onNodeClick)
        onNodeClick(after);
}

void TreeView::keyReleaseEvent(QKeyEvent* event)
{
    QTreeWidget::keyReleaseEvent(event);
    if (onKeyUp && !event->isAutoRepeat())
        onKeyUp(event->key(), event->modifiers());
}

void TreeView::contextMenuEvent(QContextMenuEvent* event)
{
    // A right press already opened the menu; only the keyboard's request is ours.
    if (event->reason() == QContextMenuEvent::Keyboard && onContextKey) {
        onContextKey();
        return;
    }
    QTreeWidget::contextMenuEvent(event);
}

} // namespace vimra
