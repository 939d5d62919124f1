#include "editor/FieldEditors.h"

#include "editor/ctlSetOfString.h"
#include "platform/Xml.h"
#include "widgets/LocalizeForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QValidator>

#include <algorithm>

namespace vimra {

namespace {

// Typed control keys never reach a box; a paste or a drop takes only what a
// file can hold, likewise.
class TextBox : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void insertFromMimeData(const QMimeData* source) override
    {
        QMimeData storable;
        storable.setText(xml::storableText(source->text()));
        QPlainTextEdit::insertFromMimeData(&storable);
    }
};

// A line box hands its validator every change, typed, pasted or dropped,
// and takes the text as the validator leaves it.
class StorableValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override
    {
        const QString kept = xml::storableText(input);
        if (kept.size() != input.size()) {
            pos -= int(input.left(pos).size() - xml::storableText(input.left(pos)).size());
            input = kept;
        }
        return Acceptable;
    }
};

// String, Integer and Real: a multi-line box, locked but enabled when read-only.
QWidget* makeText(PaneField& f, QWidget* canvas)
{
    auto* box = new TextBox(canvas);
    box->setPlainText(f.strShown);
    box->setReadOnly(f.bReadOnly);
    // A tab is never part of a value: Tab and Shift+Tab move between fields.
    box->setTabChangesFocus(true);
    // The box also reports the program's own setPlainText; only later
    // changes are the user's.
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [&f, box] { f.strText = box->toPlainText(); });
    return box;
}

// A date typed as year/month/day, the year with all its digits. Only a whole
// date in the picker's range is taken; anything else is shown in red and
// kept as typed, and OK refuses it (bFieldControlAccepts). Up and Down step
// the year, month or day under the cursor, as in a date picker.
class DateBox : public QLineEdit {
public:
    DateBox(PaneField& f, QWidget* parent) : QLineEdit(parent), m_field(f)
    {
        setText(f.dtShown.toString(kFormat));
        connect(this, &QLineEdit::textChanged, this, [this] { taken(); });
    }

    static QDate dateOf(const QString& text)
    {
        const QString typed = text.trimmed();
        // Four digits of year: a short one would be a guess at the century.
        if (typed.indexOf(QLatin1Char('/')) != 4)
            return {};
        const QDate d = QDate::fromString(typed, QStringLiteral("yyyy/M/d"));
        return d.isValid() && d >= minPickerDate() && d <= maxPickerDate() ? d : QDate();
    }
    bool bAccepts() const { return dateOf(text()).isValid(); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const int step = event->key() == Qt::Key_Up ? 1 : event->key() == Qt::Key_Down ? -1 : 0;
        const QDate d = dateOf(text());
        if (!step || !d.isValid() || isReadOnly()) {
            QLineEdit::keyPressEvent(event);
            return;
        }
        const int pos = cursorPosition();
        const int slash = text().indexOf(QLatin1Char('/'), 5);
        const QDate next = pos <= 4 ? d.addYears(step) : pos <= slash ? d.addMonths(step) : d.addDays(step);
        setText(std::clamp(next, minPickerDate(), maxPickerDate()).toString(kFormat));
        setCursorPosition(pos);
    }

private:
    static inline const QString kFormat = QStringLiteral("yyyy/MM/dd");

    void taken()
    {
        const QDate d = dateOf(text());
        if (d.isValid())
            m_field.dtDate = d;
        QPalette look = palette();
        look.setColor(QPalette::Text, d.isValid() ? QApplication::palette().color(QPalette::Text) : QColor(Qt::red));
        setPalette(look);
    }

    PaneField& m_field;
};

QWidget* makeDate(PaneField& f, QWidget* canvas) { return new DateBox(f, canvas); }

QWidget* makeCheck(PaneField& f, QWidget* canvas)
{
    auto* check = new QCheckBox(QStringLiteral("True"), canvas);
    check->setChecked(f.bShown);
    QObject::connect(check, &QCheckBox::toggled, check, [&f](bool on) { f.bChecked = on; });
    return check;
}

QWidget* makeSet(PaneField& f, QWidget* canvas)
{
    if (!f.set)
        f.set = std::make_shared<SetOfStringsModel>();
    return new ctlSetOfString(f.set, canvas);
}

// The stored value is always among the entries, so no selection is lost.
QWidget* makeCombo(PaneField& f, QWidget* canvas)
{
    auto* combo = new QComboBox(canvas);
    combo->addItems(f.colItems);
    combo->setCurrentIndex(f.colItems.indexOf(f.strShown));
    QObject::connect(combo, &QComboBox::currentTextChanged, combo, [&f](const QString& t) { f.strText = t; });
    return combo;
}

} // namespace

QWidget* makeFieldControl(PaneField& field, QWidget* canvas)
{
    QWidget* w = nullptr;
    switch (field.tyType) {
    case tyString:
    case tyInteger:
    case tyReal: w = makeText(field, canvas); break;
    case tyDate: w = makeDate(field, canvas); break;
    case tyBool: w = makeCheck(field, canvas); break;
    case tySetOfStrings: w = makeSet(field, canvas); break;
    case tyCloseList: w = makeCombo(field, canvas); break;
    default: return nullptr;
    }
    // A read-only set disables its rows and buttons itself and still scrolls.
    const bool bText = field.tyType == tyString || field.tyType == tyInteger || field.tyType == tyReal;
    if (field.bReadOnly && !bText && field.tyType != tySetOfStrings)
        w->setEnabled(false);
    nameFieldControl(w, field);
    return w;
}

void keepStorable(QLineEdit* box)
{
    box->setValidator(new StorableValidator(box));
}

bool bFieldControlAccepts(const QWidget* control)
{
    const auto* date = dynamic_cast<const DateBox*>(control);
    return !date || !date->isEnabled() || date->bAccepts();
}

void nameFieldControl(QWidget* control, const PaneField& field)
{
    control->setToolTip(field.strComment);
    control->setAccessibleName(field.strName);
    control->setAccessibleDescription(field.strComment);
    setTag(control, QString::number(field.iTag));
}

} // namespace vimra
