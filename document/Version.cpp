#include "document/Version.h"

#include "document/AVDocument.h"
#include "document/DocumentLocator.h"
#include "document/Expression.h"
#include "document/Media.h"
#include "document/Storage.h"
#include "platform/Prompts.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

namespace vimra {

std::shared_ptr<DocObject> Version::newChild()
{
    return std::make_shared<Media>(context());
}

double Version::dDuration() const
{
    const auto field = firstNamed(QStringLiteral("Duration"));
    if (!field || !field->bValid)
        return 0.0;
    const auto chunk = valueObject<Chunk>(field->vContent);
    return chunk ? chunk->dend : 0.0;
}

void Version::setDDuration(double seconds)
{
    const auto field = firstNamed(QStringLiteral("Duration"));
    if (!field)
        return;
    auto chunk = std::make_shared<Chunk>();
    chunk->dStart = 0.0;
    chunk->dend = seconds;
    field->vContent = chunk;
    field->bValid = true;
    field->bChanged = true;
}

void Version::ResetDuration()
{
    if (!bCheckForSorages())
        setDDuration(0.0);
}

bool Version::bCheckForSorages() const
{
    for (const auto& child : colChilds()) {
        const auto media = std::dynamic_pointer_cast<Media>(child);
        if (media && !media->colChilds().isEmpty())
            return true;
    }
    return false;
}

QString Version::strGetMediaObjectPath() const
{
    QString result;
    for (const auto& media : colChilds()) {
        const auto parent = std::dynamic_pointer_cast<ParentObject>(media);
        if (!parent)
            continue;
        for (const auto& child : parent->colChilds()) {
            const auto storage = std::dynamic_pointer_cast<Storage>(child);
            if (!storage)
                continue;
            if (storage->bIsSelected())
                return storage->strGetCollocation();
            if (result.isEmpty())
                result = storage->strGetCollocation();
        }
    }
    return result;
}

std::shared_ptr<Expression>* Version::mainSlot(const QString& strKind)
{
    if (strKind == QLatin1String("Video"))
        return &m_mainVideo;
    if (strKind == QLatin1String("Audio"))
        return &m_mainAudio;
    if (strKind == QLatin1String("Transcript"))
        return &m_mainTranscript;
    return nullptr;
}

void Version::AddMainExpression(const QString& strTitle, const QString& strKind, double dStart, double dEnd)
{
    const auto slot = mainSlot(strKind);
    if (!slot)
        return;
    if (dEnd < dStart) {
        prompts().MsgBox(text(msg::InvalidTimeInterval));
        return;
    }
    const auto expr = Expression::newExpression(strKind, context());
    if (!bInitNewObject(expr, strTitle))
        return;
    *slot = expr;
    expr->setStrVersionGUID(strGUID());
    expr->SetChunk(dStart, dEnd);
    expr->setVerVersion(std::static_pointer_cast<Version>(shared_from_this()));
}

void Version::OpenExpressions()
{
    const auto doc = currentDoc();
    if (!doc || !io())
        return;
    const auto self = std::static_pointer_cast<Version>(shared_from_this());
    for (const auto& expr : colScanForExpressions(io(), doc, self))
        if (const auto slot = mainSlot(expr->className()))
            *slot = expr;
}

void Version::openRelatives()
{
    OpenChilds();
    OpenExpressions();
}

void Version::RemoveReferenceObj(const std::shared_ptr<RegistryItem>& obj)
{
    ParentObject::RemoveReferenceObj(obj);
    if (!obj)
        return;
    for (auto* slot : {&m_mainVideo, &m_mainAudio, &m_mainTranscript}) {
        if (static_cast<RegistryItem*>(slot->get()) == obj.get()) {
            slot->reset();
            break;
        }
    }
}

std::optional<DocObject::SubTree> Version::colSelSubTree()
{
    auto result = ParentObject::colSelSubTree();
    if (!result)
        return std::nullopt;
    const auto self = result->back();
    result->pop_back();
    for (const auto& expr : {m_mainVideo, m_mainAudio, m_mainTranscript}) {
        if (!expr)
            continue;
        const auto sub = expr->colSelSubTree();
        if (!sub)
            return std::nullopt;
        result->insert(result->end(), sub->begin(), sub->end());
    }
    result->push_back(self);
    return result;
}

} // namespace vimra
