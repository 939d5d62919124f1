#include "editor/ctlSetOfStringCL.h"

#include "widgets/Guarded.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace vimra {

void fillCombo(QComboBox* combo, const QStringList& labels, int iShown)
{
    // Qt selects the first entry added to an empty combo: nothing may hear that.
    const QSignalBlocker blocker(combo);
    bool bSame = combo->count() == labels.size();
    for (int j = 0; bSame && j < combo->count(); ++j)
        bSame = combo->itemText(j) == labels[j];
    if (!bSame) {
        combo->clear();
        combo->addItems(labels);
    }
    combo->setCurrentIndex(iShown);
}

ctlSetOfStringCL::ctlSetOfStringCL(QWidget* parent) : ctlSetOfStringCL(std::make_shared<SetOfLabelsModel>(), parent) {}

ctlSetOfStringCL::ctlSetOfStringCL(std::shared_ptr<SetOfLabelsModel> model, QWidget* parent)
    : ctlSetOfString(model, parent, Variant{}), m_labels(std::move(model))
{
    // The rows are clipped to the list area, off the buttons' strip.
    rowsPanel()->setParent(listArea());
    rowsPanel()->show();
    sync();
}

void ctlSetOfStringCL::AssignItems(LabelList items)
{
    m_labels->AssignItems(std::move(items));
    sync();
}

QComboBox* ctlSetOfStringCL::comboBox(int i) const { return qobject_cast<QComboBox*>(rowEditor(i)); }

QWidget* ctlSetOfStringCL::makeRowEditor(int i, QWidget* panel)
{
    auto* combo = new QComboBox(panel);
    TwipsRect r = SetOfStringsModel::textRect(i);
    r.height = pixelsToTwips(combo->sizeHint().height());
    combo->setGeometry(toPixels(r));
    // Only the user's picks: the program's own selections go through sync.
    connect(combo, &QComboBox::activated, this, [this, i](int j) {
        guarded([&] { m_labels->Pick(i, j); });
        sync();
    });
    return combo;
}

void ctlSetOfStringCL::syncRowEditor(int i, QWidget* editor)
{
    auto* combo = static_cast<QComboBox*>(editor);
    fillCombo(combo, m_labels->items().labels(), m_labels->iShown(i));
}

} // namespace vimra
