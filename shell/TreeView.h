#pragma once

#include <QTreeWidget>

#include <functional>

namespace vimra {

// A tree of the main window. Reports, in this order, the button of each mouse
// press (1 left, 2 right, after the press has selected its node), a click on
// a node (also when the keyboard moves to another node) and the release of a
// key.
class TreeView : public QTreeWidget {
    Q_OBJECT
public:
    using QTreeWidget::QTreeWidget;

    std::function<void(int button)> onMouseDown;
    std::function<void(QTreeWidgetItem* item)> onNodeClick;
    std::function<void(int key, Qt::KeyboardModifiers modifiers)> onKeyUp;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

} // namespace vimra
