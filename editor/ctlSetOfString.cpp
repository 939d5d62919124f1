#include "editor/ctlSetOfString.h"
#include "editor/FieldEditors.h"

#include "widgets/Guarded.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>

namespace vimra {

ctlSetOfString::ctlSetOfString(QWidget* parent) : ctlSetOfString(std::make_shared<SetOfStringsModel>(), parent) {}

ctlSetOfString::ctlSetOfString(std::shared_ptr<SetOfStringsModel> model, QWidget* parent)
    : ctlSetOfString(std::move(model), parent, Variant{})
{
    sync();
}

ctlSetOfString::ctlSetOfString(std::shared_ptr<SetOfStringsModel> model, QWidget* parent, Variant)
    : QWidget(parent), m_model(std::move(model))
{
    m_listArea = new QWidget(this);
    m_rowsPanel = new QWidget(this);
    m_scroll = new QScrollBar(Qt::Vertical, this);
    m_scroll->setTracking(false);
    m_scroll->setSingleStep(SetOfStringsModel::kScrollStep);
    m_scroll->setAccessibleName(QStringLiteral("Scroll the list"));
    m_add = new QPushButton(QStringLiteral("Add Item"), this);
    m_delete = new QPushButton(QStringLiteral("Delete"), this);
    m_add->setObjectName(QStringLiteral("Command1"));
    m_delete->setObjectName(QStringLiteral("Command2"));
    m_delete->setToolTip(QStringLiteral("Removes the ticked rows"));

    connect(m_add, &QPushButton::clicked, this, [this] {
        const int before = m_model->Count();
        guarded([&] { m_model->AddItem(); });
        sync();
        if (m_model->Count() > before)
            focusRow(m_model->Count());
    });
    connect(m_delete, &QPushButton::clicked, this, [this] {
        guarded([&] { m_model->Delete(); });
        sync();
    });
    // The bar runs upward from 0 to a negative Max; Qt's runs the other way.
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int v) {
        if (m_bSyncing)
            return;
        m_model->Scrolled(-v);
        sync();
    });
}

QLineEdit* ctlSetOfString::textBox(int i) const { return qobject_cast<QLineEdit*>(rowEditor(i)); }

QWidget* ctlSetOfString::makeRowEditor(int i, QWidget* panel)
{
    auto* text = new QLineEdit(panel);
    keepStorable(text);
    text->setGeometry(toPixels(SetOfStringsModel::textRect(i)));
    connect(text, &QLineEdit::textEdited, this, [this, i](const QString& t) { m_model->setStrng(i, t); });
    return text;
}

void ctlSetOfString::syncRowEditor(int i, QWidget* editor)
{
    auto* text = static_cast<QLineEdit*>(editor);
    if (text->text() != m_model->Strng(i))
        text->setText(m_model->Strng(i));
}

void ctlSetOfString::focusRow(int i)
{
    // The list scrolls to the bottom when the new row lies below its area.
    if (m_model->bScrollVisible()) {
        m_model->Scrolled(m_model->iScrollMax());
        sync();
    }
    QWidget* editor = rowEditor(i);
    editor->setFocus(Qt::OtherFocusReason);
    if (auto* text = qobject_cast<QLineEdit*>(editor))
        text->selectAll();
}

void ctlSetOfString::Init(int iCount)
{
    m_model->Init(iCount);
    sync();
}

void ctlSetOfString::setStrng(int i, const QString& text)
{
    m_model->setStrng(i, text);
    sync();
}

void ctlSetOfString::SetEnabled(bool enabled)
{
    m_model->setEnabled(enabled);
    sync();
}

void ctlSetOfString::Move(const TwipsRect& r)
{
    setGeometry(toPixels(r));
    m_model->Resize(r.width, r.height);
    sync();
}

void ctlSetOfString::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Sizes the model already has (set in twips) are not rounded again.
    const QSize held(twipsToPixels(m_model->scrollBar().left + SetOfStringsModel::kStrip),
                     twipsToPixels(m_model->scrollBar().height));
    if (event->size() != held) {
        m_model->Resize(pixelsToTwips(event->size().width()), pixelsToTwips(event->size().height()));
        sync();
    }
}

void ctlSetOfString::sync()
{
    m_bSyncing = true;
    const SetOfStringsModel& m = *m_model;
    while (int(m_rows.size()) > m.Count()) {
        delete m_rows.back().check;
        delete m_rows.back().editor;
        m_rows.pop_back();
    }
    while (int(m_rows.size()) < m.Count()) {
        const int i = int(m_rows.size()) + 1;
        RowWidgets row{new QCheckBox(m_rowsPanel), makeRowEditor(i, m_rowsPanel)};
        row.check->setAccessibleName(QStringLiteral("Select row %1").arg(i));
        row.editor->setAccessibleName(QStringLiteral("Row %1").arg(i));
        row.check->setGeometry(toPixels(SetOfStringsModel::checkRect(i)));
        connect(row.check, &QCheckBox::toggled, this, [this, i](bool on) {
            if (!m_bSyncing)
                m_model->setTicked(i, on);
        });
        row.check->show();
        row.editor->show();
        m_rows.push_back(row);
    }
    for (int i = 1; i <= m.Count(); ++i) {
        RowWidgets& row = m_rows[i - 1];
        row.check->setChecked(m.bTicked(i));
        syncRowEditor(i, row.editor);
        row.check->setEnabled(m.Enabled());
        row.editor->setEnabled(m.Enabled());
    }
    m_add->setEnabled(m.bAddEnabled());
    m_delete->setEnabled(m.Enabled());

    m_listArea->setGeometry(toPixels(m.listArea()));
    m_rowsPanel->setGeometry(toPixels(m.rowsPanel()));
    m_scroll->setGeometry(toPixels(m.scrollBar()));
    m_add->setGeometry(toPixels(m.addButton()));
    m_delete->setGeometry(toPixels(m.deleteButton()));
    m_scroll->setRange(std::min(0, -m.iScrollMax()), std::max(0, -m.iScrollMax()));
    m_scroll->setValue(-m.iScrollValue());
    m_scroll->setVisible(m.bScrollVisible());
    m_rowsPanel->raise();
    m_scroll->raise();
    m_bSyncing = false;
}

} // namespace vimra
