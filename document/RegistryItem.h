#pragma once

#include "document/EditorWindows.h"

#include <QAnyStringView>
#include <QHash>
#include <QStringList>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace vimra {

class AVDocument;
class IOManager;

// Identifiers a save-as renamed, in the order it renamed them.
struct GUIDRenames {
    std::vector<std::pair<QString, QString>> pairs; // old, new
    // Positions in `pairs` by normalised old identifier (empty ones left out).
    QHash<QString, std::vector<int>> byOld;

    void add(const QString& strOldGUID, const QString& strNewGUID);
    // An identifier as identifiers are compared: normalised ("" stays "").
    static QString keyOf(const QString& strGUID);
};

class RegistryItem;

// Objects a removal takes away, as a holder is asked whether it may name any.
struct RemovedObjects {
    std::vector<std::shared_ptr<RegistryItem>> items; // in removal order
    std::vector<const RegistryItem*> sorted;          // the same, for lookups
    QStringList classes;                              // each class once
    QHash<QString, int> lastNames;                    // plain last names of their identifiers
    bool bUnplainName = false;                        // an identifier without one

    explicit RemovedObjects(std::vector<std::shared_ptr<RegistryItem>> objects);
    bool bHas(const RegistryItem* item) const;
};

// What the document's registry, removal and save passes ask of any registered
// object without knowing its class: the document classes and the media-file
// objects. Objects are always held by std::shared_ptr.
class RegistryItem : public std::enable_shared_from_this<RegistryItem> {
public:
    virtual ~RegistryItem() = default;

    // "AVDocument", "Version", "Media", "Storage", "MediaObject", "Video",
    // "Audio" or "Transcript".
    virtual QString className() const = 0;
    bool bIsClass(QAnyStringView strClass) const { return QAnyStringView::equal(className(), strClass); }

    virtual std::shared_ptr<IOManager> io() const = 0;
    virtual QString strGUID() const = 0;
    virtual void setStrGUID(const QString& value) = 0;
    virtual QString strTitle() const = 0;
    virtual bool bChanged() const = 0;
    virtual bool bSave() = 0;

    // True while an object this one names is still changed (it is then
    // written in a later save pass).
    virtual bool bReferedStillToBeSaved() const { return false; }
    // Replaces an identifier in this object's own relations.
    virtual void RenameAllRelativesGUID(const QString& strOldGUID, const QString& strNewGUID) {}
    // As RenameAllRelativesGUID for every pair in order; a class whose
    // relations are many does it in one pass.
    virtual void RenameAllRelativesGUIDs(const GUIDRenames& renames)
    {
        for (const auto& [strOld, strNew] : renames.pairs)
            RenameAllRelativesGUID(strOld, strNew);
    }
    // An identifier one of this object's relations names, with the class of
    // the object named there.
    struct NamedGUID {
        QString strGUID;
        QString strClass;
    };
    // Each identifier in the relations RenameAllRelativesGUIDs renames, once
    // per place: a save-as carries the files no object was read from.
    virtual void appendRelationGUIDs(std::vector<NamedGUID>& out) const {}
    // Forgets every reference this object holds to `obj`.
    virtual void RemoveReferenceObj(const std::shared_ptr<RegistryItem>& obj) {}
    // Around the RemoveReferenceObj calls of several objects removed
    // together: what they change may be done at once at the end, provided
    // it answers and tells as the calls one by one would.
    virtual void removalsStarting(const RemovedObjects& removed) {}
    virtual void removalsDone() {}
    // False only when RemoveReferenceObj would leave this object as it is
    // for each of `removed`, removed in turn.
    virtual bool bMayReferTo(const RemovedObjects& removed) const { return true; }
    // True when RemoveReferenceObj of any of `removed` changes this object
    // only while its successor link names that one.
    virtual bool bRefersOnlyByLink(const RemovedObjects& removed) const { return false; }
    virtual void ShowForm(UiOwner* owner) {}
    // Called by `doc` once it has taken this object out, before its own file
    // is queued for deletion.
    virtual void afterRemoved(AVDocument& doc) {}

    // A Video segment's keyframe picture object; none for every other object.
    virtual std::shared_ptr<RegistryItem> objKeyframeObject() const { return nullptr; }
};

} // namespace vimra
