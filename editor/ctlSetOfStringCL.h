#pragma once

#include "editor/SetOfLabelsModel.h"
#include "editor/ctlSetOfString.h"

class QComboBox;

namespace vimra {

// Shows these labels in a drop-down list, entry iShown selected (-1: none),
// without raising any signal.
void fillCombo(QComboBox* combo, const QStringList& labels, int iShown);

// The set-of-strings control for values from the vocabulary: each row picks
// one label of the chosen language from a drop-down list, and the rows read
// and write English names. Add Item shows the first label; it is disabled
// while there is none.
class ctlSetOfStringCL : public ctlSetOfString {
    Q_OBJECT
public:
    explicit ctlSetOfStringCL(std::shared_ptr<SetOfLabelsModel> model, QWidget* parent = nullptr);
    explicit ctlSetOfStringCL(QWidget* parent = nullptr);

    // Removes every row and offers these labels from now on.
    void AssignItems(LabelList items);
    const SetOfLabelsModel& labels() const { return *m_labels; }
    QComboBox* comboBox(int i) const;

protected:
    QWidget* makeRowEditor(int i, QWidget* panel) override;
    void syncRowEditor(int i, QWidget* editor) override;

private:
    std::shared_ptr<SetOfLabelsModel> m_labels;
};

} // namespace vimra
