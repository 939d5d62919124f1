#pragma once

#include "document/EditorWindows.h"

#include <memory>

namespace vimra {

class AVDocSchemaDialog;

// The metadata forms: a field pane for the document, its Versions, Media and
// Storages; every other class with a window goes to `fallback`. The one
// assigned-fields dialog is made on first use.
class EditorForms : public EditorFactory {
public:
    explicit EditorForms(EditorFactory& fallback);
    ~EditorForms() override;

    std::shared_ptr<EditorWindow> create(const QString& strClass) override;
    void ShowAVDocSchemaDialog(UiOwner* owner, const std::shared_ptr<SEColl>& secol) override;

private:
    EditorFactory& m_fallback;
    std::unique_ptr<AVDocSchemaDialog> m_schemaDialog;
};

} // namespace vimra
