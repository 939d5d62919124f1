#include "editor/FieldEditors.h"

#include "editor/ctlSetOfString.h"
#include "widgets/LocalizeForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QPlainTextEdit>

namespace vimra {

namespace {

// String, Integer and Real: a multi-line box, locked but enabled when read-only.
QWidget* makeText(PaneField& f, QWidget* canvas)
{
    auto* box = new QPlainTextEdit(canvas);
    box->setPlainText(f.strShown);
    box->setReadOnly(f.bReadOnly);
    // The box also reports the program's own setPlainText; only later
    // changes are the user's.
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [&f, box] { f.strText = box->toPlainText(); });
    return box;
}

QWidget* makeDate(PaneField& f, QWidget* canvas)
{
    auto* picker = new QDateEdit(canvas);
    picker->setDisplayFormat(QStringLiteral("yy/MM/dd"));
    picker->setDateRange(minPickerDate(), maxPickerDate());
    picker->setDate(f.dtShown);
    QObject::connect(picker, &QDateEdit::dateChanged, picker, [&f](const QDate& d) { f.dtDate = d; });
    return picker;
}

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

void nameFieldControl(QWidget* control, const PaneField& field)
{
    control->setToolTip(field.strComment);
    control->setAccessibleName(field.strName);
    control->setAccessibleDescription(field.strComment);
    setTag(control, QString::number(field.iTag));
}

} // namespace vimra
