#pragma once

#include <QTreeWidget>

#include <functional>

namespace vimra {

// A tree of the main window. Reports, in this order, the button of each mouse
// press (1 left, 2 right, after the press has selected its node), a click on
// a node (also when the keyboard moves to another node) and the release of a
// key; and Return (or Enter) and the context-menu keys (the Menu key, as the
// platform reports it, and Shift+F10).
class TreeView : public QTreeWidget {
    Q_OBJECT
public:
    using QTreeWidget::QTreeWidget;

    std::function<void(int button)> onMouseDown;
    std::function<void(QTreeWidgetItem* item)> onNodeClick;
    std::function<void(int key, Qt::KeyboardModifiers modifiers)> onKeyUp;
    std::function<void()> onReturn;
    std::function<void()> onContextKey;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

} // namespace vimra
