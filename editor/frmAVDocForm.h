#pragma once

#include "editor/CrossLanguageModel.h"
#include "editor/PaneForm.h"

#include <QPointer>

class QComboBox;

namespace vimra {

class ctlSetOfStringCL;

// The document's form: the field pane, where with a language chosen and the
// vocabulary loaded "Themes" and "Subthemes" are drop-down lists of labels
// and "ThematicKeywords" a list of label rows, all stored in English. A
// document whose thematic fields do not match the vocabulary is refused.
class frmAVDocForm : public PaneForm, private PaneExtension {
public:
    frmAVDocForm();

    void Show(UiOwner* owner) override;

    const CrossLanguageModel& crossLanguage() const { return m_crossLanguage; }
    // The controls of the open window; nullptr when it has none.
    QComboBox* cboThemes() const;
    QComboBox* cboSubthemes() const;
    ctlSetOfStringCL* ctlSetOfStringCL1() const;

private:
    void Built(PaneModel& model) override;
    QWidget* makeControl(PaneField& field, QWidget* canvas) override;
    void Commit(SEColl& secol, const std::shared_ptr<DocObject>& obj) override;
    void Closed() override;

    QComboBox* makeCombo(const PaneField& field, QWidget* canvas, void (CrossLanguageModel::*picked)(int));
    // Makes the thematic controls show what the model holds.
    void syncThematic();

    CrossLanguageModel m_crossLanguage;
    QPointer<QComboBox> m_cboThemes;
    QPointer<QComboBox> m_cboSubthemes;
    QPointer<ctlSetOfStringCL> m_ctlSetOfStringCL1;
};

} // namespace vimra
