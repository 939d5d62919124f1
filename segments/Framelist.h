#pragma once

#include "segments/FramelistModel.h"

#include <QWidget>

class QScrollBar;

namespace vimra {

// The keyframe strip: thumbnails placed by position, selected by pressing and
// Shift-pressing, scrolled sideways when the strip is wider than the control.
// The model's members are the control's members.
class Framelist : public QWidget, public FramelistModel {
    Q_OBJECT
public:
    explicit Framelist(QWidget* parent = nullptr);

    QScrollBar* HScroll1() const { return m_scroll; }
    QSize sizeHint() const override;

signals:
    // Each is raised last: the editor's double-click handler closes the
    // window holding the strip.
    void ImageClick(int index, int position);
    void ImageDblClick(int index, int position);

protected:
    void Changed() override;
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    int imageAt(const QPointF& pixels) const;

    QScrollBar* m_scroll;
    bool m_syncing = false;
};

} // namespace vimra
