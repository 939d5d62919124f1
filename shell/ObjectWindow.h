#pragma once

#include "document/EditorWindows.h"

namespace vimra {

// The editor window of a document object until the metadata forms exist: a
// modal window captioned with the object's title that lists its assigned
// fields (name: value) read-only and closes with OK.
class ObjectWindow : public EditorWindow {
public:
    void bind(const std::shared_ptr<DocObject>& obj) override { m_obj = obj; }
    std::shared_ptr<DocObject> boundObject() const override { return m_obj.lock(); }
    void Show(UiOwner* owner) override;
    // Nothing to drop: the window is built afresh at every showing.
    void Unload() override {}

private:
    std::weak_ptr<DocObject> m_obj;
};

// Makes ObjectWindows for every class that has an editor window. The
// assigned-fields dialog comes with the metadata forms; until then it shows
// nothing.
class ObjectWindowFactory : public EditorFactory {
public:
    std::shared_ptr<EditorWindow> create(const QString& strClass) override;
    void ShowAVDocSchemaDialog(UiOwner*, const std::shared_ptr<SEColl>&) override {}
};

} // namespace vimra
