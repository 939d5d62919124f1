#include "document/MediaObject.h"

#include "document/AVDocument.h"
#include "records/IOManager.h"
#include "records/Procedures.h"

namespace vimra {

namespace {

// The field that holds the identifier: the first assigned one.
SEColl::Record identifierField(const std::shared_ptr<SEColl>& secol, bool bKeyframe)
{
    if (!secol)
        return nullptr;
    const QString name = bKeyframe ? QStringLiteral("Keyframe") : QStringLiteral("Collocation");
    for (const auto& field : *secol)
        if (field->strName == name && field->bValid)
            return field;
    return nullptr;
}

} // namespace

std::shared_ptr<MediaObject> MediaObject::create(const std::weak_ptr<AVDocument>& context)
{
    std::shared_ptr<MediaObject> obj(new MediaObject());
    obj->m_context = context;
    if (const auto doc = context.lock())
        doc->collObjects().Add(obj);
    return obj;
}

void MediaObject::setObjOwner(const std::shared_ptr<DocObject>& owner)
{
    m_owner = owner;
    m_ownerFields = owner ? owner->ownFields() : nullptr;
    m_bKeyframe = owner && owner->bIsClass("Video");
}

std::shared_ptr<SEColl> MediaObject::ownerFields() const
{
    const auto owner = objOwner();
    return owner ? owner->ownFields() : m_ownerFields;
}

QString MediaObject::strGUID() const
{
    const auto field = identifierField(ownerFields(), m_bKeyframe);
    if (!field)
        return {};
    if (m_bKeyframe) {
        const auto chunk = valueObject<Chunk>(field->vContent);
        return chunk ? chunk->strFile : QString();
    }
    return valueToText(field->vContent);
}

void MediaObject::setStrGUID(const QString& value)
{
    const auto field = identifierField(ownerFields(), m_bKeyframe);
    if (!field || strGUID() == value)
        return;
    if (m_bKeyframe) {
        if (const auto chunk = valueObject<Chunk>(field->vContent))
            chunk->strFile = value;
    } else {
        field->vContent = value;
    }
    field->bChanged = true;
    guidChanged();
}

void MediaObject::guidChanged()
{
    if (const auto doc = m_context.lock())
        doc->collObjects().rekey(this);
}

void MediaObject::strInit(const std::shared_ptr<DocObject>& owner)
{
    m_io = owner->io();
    setObjOwner(owner);
    guidChanged();
    const QString guid = strGUID();
    if (m_io && m_io->bFileSystem() && !guid.isEmpty())
        m_strTypeOfObject = vExtensionOf(guid);
}

bool MediaObject::bSave()
{
    m_bChanged = false;
    return true;
}

} // namespace vimra
