#pragma once

#include "document/EditorWindows.h"

#include <QString>

#include <memory>
#include <vector>

namespace vimra {

class DocObject;
class Expression;
class Version;
class Video;

// The calls the document model makes up into the main window. The shell
// implements them; the editors use the tree calls after they change objects.
class DocumentUi {
public:
    enum class Tree { tvwMainTree, tvwExpression };

    virtual ~DocumentUi() = default;

    // The text of the status bar's first panel.
    virtual void setStrStatusBarText(const QString& text) = 0;
    // Drops the keyframe icon keyed by a removed segment's identifier.
    virtual void RemoveIcon(const QString& strGUID) = 0;
    // Renames the tree nodes that show `obj`.
    virtual void UpdateNodeTitle(const std::shared_ptr<DocObject>& obj) = 0;
    // Clears a tree and builds it again (the expression tree of `ver`, when given).
    virtual void ResetTree(Tree tree, const std::shared_ptr<Version>& ver) = 0;
    // After segments were added to and removed from `expr`: the expression
    // tree as ResetTree would build it for expr's Version (by default it does).
    virtual void SegmentsChanged(const std::shared_ptr<Expression>& expr,
                                 const std::vector<std::shared_ptr<Expression>>& added,
                                 const std::vector<std::shared_ptr<Expression>>& removed);
    // Makes (or remakes) a Video segment's keyframe icon from its picture.
    virtual void AddSmallKeyFrame(const std::shared_ptr<Video>& video) = 0;
    // Remakes every keyframe icon.
    virtual void UpdateSmallKeyFrames() = 0;
    // The main window, as the owner of an editor opened from another editor.
    virtual UiOwner* mainWindow() { return nullptr; }
};

// Ignores every call: used until the main window installs itself.
class NullDocumentUi : public DocumentUi {
public:
    void setStrStatusBarText(const QString&) override {}
    void RemoveIcon(const QString&) override {}
    void UpdateNodeTitle(const std::shared_ptr<DocObject>&) override {}
    void ResetTree(Tree, const std::shared_ptr<Version>&) override {}
    void AddSmallKeyFrame(const std::shared_ptr<Video>&) override {}
    void UpdateSmallKeyFrames() override {}
};

// The main window in force; never null.
DocumentUi& documentUi();
// Installs `ui` (nullptr restores the null one). The caller keeps ownership.
void setDocumentUi(DocumentUi* ui);

// Reports the object being opened or saved in the status bar:
// "<text of iMsgId> <iNumber> (<strTitle>)".
void showObjectProgress(int iMsgId, int iNumber, const QString& strTitle);

} // namespace vimra
