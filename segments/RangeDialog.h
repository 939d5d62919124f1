#pragma once

#include "segments/RangeTimes.h"

#include <QDialog>
#include <QObject>
#include <QPointer>

#include <array>

class QLineEdit;

namespace vimra {

// The start and end time dialog. Its values live in this object and outlive
// the window: the caller sets the times, shows the window, and reads the
// results after it has closed. Closing the window by its frame is Cancel.
class RangeDialog : public QObject {
    Q_OBJECT
public:
    explicit RangeDialog(QObject* parent = nullptr);
    ~RangeDialog() override;

    bool bCancel() const { return m_bCancel; }
    // Creates the window when there is none and fills its boxes.
    void SetTime(double dStart, double dEnd, double dRate);
    double dGetStartTime() const { return m_times.dGetStartTime(); }
    double dGetEndTime() const { return m_times.dGetEndTime(); }
    // Modal over owner; returns when the window has closed.
    void Show(QWidget* owner);

    QDialog* window() const { return m_window; }
    // A box of the open window, or null when it is closed.
    QLineEdit* box(RangeTimes::Box which) const;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void createWindow();
    void showParts();
    void checkBox(RangeTimes::Box which);

    RangeTimes m_times;
    bool m_bCancel = false;
    QPointer<QDialog> m_window;
    std::array<QLineEdit*, RangeTimes::kBoxCount> m_boxes{};
};

} // namespace vimra
