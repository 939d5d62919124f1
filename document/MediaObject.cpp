#include "document/MediaObject.h"

#include "document/AVDocument.h"
#include "records/IOManager.h"
#include "records/Procedures.h"

namespace vimra {

namespace {

// The owner's field that holds the identifier: the first assigned one.
SEColl::Record ownerField(const DocObject& owner)
{
    const auto secol = owner.secol();
    if (!secol)
        return nullptr;
    const QString name = owner.bIsClass("Video") ? QStringLiteral("Keyframe") : QStringLiteral("Collocation");
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

QString MediaObject::strGUID() const
{
    const auto owner = objOwner();
    const auto field = owner ? ownerField(*owner) : nullptr;
    if (!field)
        return {};
    if (owner->bIsClass("Video")) {
        const auto chunk = valueObject<Chunk>(field->vContent);
        return chunk ? chunk->strFile : QString();
    }
    return valueToText(field->vContent);
}

void MediaObject::setStrGUID(const QString& value)
{
    const auto owner = objOwner();
    const auto field = owner ? ownerField(*owner) : nullptr;
    if (!field || strGUID() == value)
        return;
    if (owner->bIsClass("Video")) {
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
    m_owner = owner;
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
