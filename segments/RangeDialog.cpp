#include "segments/RangeDialog.h"

#include "widgets/Twips.h"

#include <QDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vimra {

namespace {

QPushButton* button(QDialog* window, const char* name, const QString& text, double top)
{
    auto* b = new QPushButton(text, window);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(toPixels({2520, top, 1215, 375}));
    return b;
}

} // namespace

RangeDialog::RangeDialog(QObject* parent) : QObject(parent) {}

RangeDialog::~RangeDialog()
{
    delete m_window.data();
}

QLineEdit* RangeDialog::box(RangeTimes::Box which) const
{
    return m_window ? m_boxes[which] : nullptr;
}

void RangeDialog::createWindow()
{
    auto* window = new QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                            | Qt::WindowCloseButtonHint);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("(Sub)Expression Time Constraints"));
    window->setFixedSize(toPixels({0, 0, 4230, 3150}).size());

    static const char* const kParts[] = {"hh", "mm", "ss", "ff"};
    static const char* const kPartNames[] = {"hours", "minutes", "seconds", "frames"};
    const struct {
        const char* title;
        double top;
    } frames[] = {{"Start Time", 240}, {"End Time", 1680}};
    for (int f = 0; f < 2; ++f) {
        auto* frame = new QGroupBox(QString::fromLatin1(frames[f].title), window);
        frame->setGeometry(toPixels({240, frames[f].top, 1935, 1215}));
        for (int k = 0; k < 4; ++k) {
            auto* label = new QLabel(QString::fromLatin1(kParts[k]), frame);
            label->setGeometry(toPixels({240 + 360.0 * k, 360, 255, 255}));
            auto* edit = new QLineEdit(QStringLiteral("00"), window);
            edit->setObjectName(QString::fromLatin1(kParts[k]) + QString::number(f + 1));
            edit->setAccessibleName(QString::fromLatin1(frames[f].title).section(' ', 0, 0) + ' '
                                    + QString::fromLatin1(kPartNames[k]));
            edit->setGeometry(toPixels({480 + 360.0 * k, frames[f].top + 600, 280, 285}));
            edit->setTextMargins(0, 0, 0, 0);
            edit->installEventFilter(this);
            const auto which = RangeTimes::Box(4 * f + k);
            connect(edit, &QLineEdit::textChanged, this, [this, which] { checkBox(which); });
            m_boxes[which] = edit;
        }
    }
    QPushButton* ok = button(window, "OKButton", QStringLiteral("OK"), 600);
    QPushButton* cancel = button(window, "CancelButton", QStringLiteral("Cancel"), 2160);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, window, [this, window] {
        m_bCancel = false;
        window->accept();
    });
    connect(cancel, &QPushButton::clicked, window, &QDialog::reject);
    // Cancel, Escape and the frame's close box all end here.
    connect(window, &QDialog::rejected, this, [this] { m_bCancel = true; });
    // A closed window is gone at once, though deleted later: the next
    // SetTime or Show builds a fresh one.
    connect(window, &QDialog::finished, this, [this] { m_window.clear(); });

    using B = RangeTimes::Box;
    QWidget* order[] = {ok, cancel, m_boxes[B::mm1], m_boxes[B::ss1], m_boxes[B::ff1], m_boxes[B::mm2],
                        m_boxes[B::ss2], m_boxes[B::ff2], m_boxes[B::hh1], m_boxes[B::hh2]};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    // The boxes were made first, so without this they would lead: the window
    // opens on OK, where the tab order begins.
    ok->setFocus();
    m_window = window;
}

void RangeDialog::SetTime(double dStart, double dEnd, double dRate)
{
    m_times.SetTime(dStart, dEnd, dRate);
    showParts();
}

void RangeDialog::showParts()
{
    if (!m_window)
        createWindow();
    for (int b = 0; b < RangeTimes::kBoxCount; ++b)
        m_boxes[size_t(b)]->setText(QString::number(m_times.part(RangeTimes::Box(b))));
    const bool frames = m_times.rate() != 0;
    // Frame numbers of three digits (100 fps and more) need a wider box.
    const QSize size = toPixels({0, 0, m_times.maximum(RangeTimes::ff1) > 99 ? 420.0 : 280.0, 285}).size();
    for (const auto ff : {RangeTimes::ff1, RangeTimes::ff2}) {
        m_boxes[ff]->setEnabled(frames);
        m_boxes[ff]->resize(size);
    }
}

void RangeDialog::Show(QWidget* owner)
{
    if (!m_window)
        showParts();
    const QPointer<QDialog> window = m_window;
    window->setParent(owner, window->windowFlags());
    window->exec();
    delete window.data();
}

// A box never keeps a text it does not accept: the last valid value comes back.
void RangeDialog::checkBox(RangeTimes::Box which)
{
    QLineEdit* edit = m_boxes[which];
    if (!m_times.Accept(which, edit->text()))
        edit->setText(QString::number(m_times.part(which)));
}

bool RangeDialog::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(e);
    const int step = key->key() == Qt::Key_Up ? 1 : key->key() == Qt::Key_Down ? -1 : 0;
    if (step == 0 || (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)))
        return false;
    for (int b = 0; b < RangeTimes::kBoxCount; ++b) {
        if (m_boxes[size_t(b)] == watched) {
            // No wrap and no carry: a step past the bounds is put back.
            m_boxes[size_t(b)]->setText(QString::number(m_times.part(RangeTimes::Box(b)) + step));
            return true;
        }
    }
    return false;
}

} // namespace vimra
