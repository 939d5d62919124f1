#include "shell/TreeView.h"

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

} // namespace vimra
