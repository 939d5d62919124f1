#pragma once

#include "document/RegistryItem.h"

#include <memory>

namespace vimra {

class AVDocument;
class DocObject;
class SEColl;

// A registered file that is not an instance file: a Storage's media file or
// a Video segment's keyframe picture. It has no identifier of its own: the
// identifier lives in a field of its owner, and nothing is ever written.
class MediaObject : public RegistryItem {
public:
    // Registers the object with `context` (the current document) when there
    // is one, so that it stands right after the owner that makes it.
    static std::shared_ptr<MediaObject> create(const std::weak_ptr<AVDocument>& context);

    QString className() const override { return QStringLiteral("MediaObject"); }

    std::shared_ptr<DocObject> objOwner() const { return m_owner.lock(); }
    void setObjOwner(const std::shared_ptr<DocObject>& owner);
    QString strTypeOfObject() const { return m_strTypeOfObject; }
    void setStrTypeOfObject(const QString& value) { m_strTypeOfObject = value; }
    std::shared_ptr<IOManager> io() const override { return m_io; }
    bool bChanged() const override { return m_bChanged; }
    void setBChanged(bool value) { m_bChanged = value; }

    // The owner's "Keyframe" file for a Video owner, else its "Collocation".
    // Once the owner is gone (removed from the document) the object answers
    // from the owner's fields it kept, so it keeps its identifier for as long
    // as it stays registered.
    QString strGUID() const override;
    // Writes the owner's field when the value differs; its assigned mark and
    // this object's changed mark stay as they are.
    void setStrGUID(const QString& value) override;
    QString strTitle() const override { return strGUID(); }

    void strInit(const std::shared_ptr<DocObject>& owner);
    bool bSave() override;
    // A media file names no other object: a save-as has nothing to rename
    // here, however many identifiers it renames.
    void RenameAllRelativesGUIDs(const GUIDRenames&) override {}

private:
    MediaObject() = default;
    // Tells the registry that the identifier may have changed.
    void guidChanged();
    // The owner's field collection: the live owner's, else the kept one.
    std::shared_ptr<SEColl> ownerFields() const;

    std::shared_ptr<IOManager> m_io;
    bool m_bChanged = false;
    QString m_strTypeOfObject;
    std::weak_ptr<DocObject> m_owner;
    // The owner owns this object, so only its fields are held: no cycle.
    std::shared_ptr<SEColl> m_ownerFields;
    bool m_bKeyframe = false; // the owner is a Video
    std::weak_ptr<AVDocument> m_context;
};

} // namespace vimra
