#include "editor/frmAVDocForm.h"

#include "document/DocObject.h"
#include "editor/FieldEditors.h"
#include "editor/ctlSetOfStringCL.h"
#include "platform/Prompts.h"
#include "records/AppState.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"
#include "widgets/Guarded.h"

#include <QComboBox>

namespace vimra {

frmAVDocForm::frmAVDocForm() : PaneForm(PaneParams{QStringLiteral("Title")}) {}

QComboBox* frmAVDocForm::cboThemes() const { return m_cboThemes; }
QComboBox* frmAVDocForm::cboSubthemes() const { return m_cboSubthemes; }
ctlSetOfStringCL* frmAVDocForm::ctlSetOfStringCL1() const { return m_ctlSetOfStringCL1; }

void frmAVDocForm::Show(UiOwner* owner)
{
    const auto obj = boundObject();
    if (!obj || !obj->secol())
        return;
    if (!CrossLanguageModel::bActive()) {
        PaneForm::Show(owner);
        return;
    }
    // Before any widget: a refused document is left as it is.
    if (!m_crossLanguage.bCheckCLConsistency(*obj->secol(), appState().objThematicKeywords)) {
        prompts().MsgBox(text(msg::CrossLanguageInconsistent), Prompts::OKOnly, Prompts::NoIcon);
        return;
    }
    ShowWith(owner, this);
}

void frmAVDocForm::Built(PaneModel& model) { m_crossLanguage.Route(model, appState().iCrossLanguage); }

QWidget* frmAVDocForm::makeControl(PaneField& field, QWidget* canvas)
{
    QWidget* control = nullptr;
    switch (m_crossLanguage.roleOf(field)) {
    case CrossLanguageModel::Role::Themes:
        control = m_cboThemes = makeCombo(field, canvas, &CrossLanguageModel::ThemePicked);
        break;
    case CrossLanguageModel::Role::Subthemes:
        control = m_cboSubthemes = makeCombo(field, canvas, &CrossLanguageModel::SubthemePicked);
        break;
    case CrossLanguageModel::Role::Keywords:
        control = m_ctlSetOfStringCL1 = new ctlSetOfStringCL(m_crossLanguage.keywords(), canvas);
        control->setObjectName(QStringLiteral("ctlSetOfStringCL1"));
        nameFieldControl(control, field);
        break;
    case CrossLanguageModel::Role::None: return nullptr;
    }
    syncThematic();
    return control;
}

QComboBox* frmAVDocForm::makeCombo(const PaneField& field, QWidget* canvas, void (CrossLanguageModel::*picked)(int))
{
    auto* combo = new QComboBox(canvas);
    combo->setEnabled(!field.bReadOnly);
    nameFieldControl(combo, field);
    // Only the user's picks ask; the program selects with signals blocked.
    QObject::connect(combo, &QComboBox::activated, combo, [this, picked](int j) {
        guarded([&] { (m_crossLanguage.*picked)(j); });
        syncThematic();
    });
    return combo;
}

void frmAVDocForm::syncThematic()
{
    if (m_cboThemes)
        fillCombo(m_cboThemes, m_crossLanguage.themes().labels(), m_crossLanguage.iThemeShown());
    if (m_cboSubthemes)
        fillCombo(m_cboSubthemes, m_crossLanguage.subthemes().labels(), m_crossLanguage.iSubthemeShown());
    if (m_ctlSetOfStringCL1)
        m_ctlSetOfStringCL1->Refresh();
}

void frmAVDocForm::Commit(SEColl& secol, const std::shared_ptr<DocObject>& obj)
{
    m_crossLanguage.Commit(secol, obj);
}

void frmAVDocForm::Closed()
{
    m_cboThemes = nullptr;
    m_cboSubthemes = nullptr;
    m_ctlSetOfStringCL1 = nullptr;
}

} // namespace vimra
