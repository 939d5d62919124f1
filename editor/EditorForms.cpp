#include "editor/EditorForms.h"

#include "editor/AVDocSchemaDialog.h"
#include "editor/PaneForm.h"
#include "editor/frmAVDocForm.h"

namespace vimra {

EditorForms::EditorForms(EditorFactory& fallback) : m_fallback(fallback) {}

EditorForms::~EditorForms() = default;

std::shared_ptr<EditorWindow> EditorForms::create(const QString& strClass)
{
    const QString form = strEditorFormFor(strClass);
    if (form == QLatin1String("frmAVDocForm"))
        return std::make_shared<frmAVDocForm>();
    if (form == QLatin1String("VersionForm"))
        return std::make_shared<PaneForm>(PaneParams{QStringLiteral("VersionTitle")});
    if (form == QLatin1String("MediaForm"))
        return std::make_shared<PaneForm>(PaneParams{QStringLiteral("Format")});
    if (form == QLatin1String("StorageForm"))
        return std::make_shared<PaneForm>(PaneParams{QStringLiteral("Collocation"), true});
    return m_fallback.create(strClass);
}

void EditorForms::ShowAVDocSchemaDialog(UiOwner* owner, const std::shared_ptr<SEColl>& secol)
{
    if (!secol)
        return;
    if (!m_schemaDialog)
        m_schemaDialog = std::make_unique<AVDocSchemaDialog>();
    m_schemaDialog->ShowDialog(owner, secol);
}

} // namespace vimra
