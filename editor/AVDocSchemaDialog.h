#pragma once

#include "document/EditorWindows.h"
#include "editor/AssignedFieldsModel.h"

#include <memory>

class QDialog;

namespace vimra {

// The assigned-fields dialog: one row per field with a tick for "assigned".
// The object keeps its results between showings; its window is built at
// each showing and destroyed when it closes. Its texts are fixed English.
class AVDocSchemaDialog {
public:
    // True when the dialog was last closed with Cancel, false with OK; the
    // close box leaves it as it was.
    bool bCancel() const { return m_bCancel; }
    // Shows the fields of `secol` modally, owned by `owner`.
    void ShowDialog(UiOwner* owner, const std::shared_ptr<SEColl>& secol);

    // The open window while ShowDialog runs, else nullptr.
    QDialog* window() const { return m_window; }

private:
    AssignedFieldsModel m_model;
    bool m_bCancel = false;
    QDialog* m_window = nullptr;
};

} // namespace vimra
