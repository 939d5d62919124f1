#include "document/Version.h"

#include "document/Media.h"

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

} // namespace vimra
