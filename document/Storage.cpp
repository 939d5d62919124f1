#include "document/Storage.h"

#include "document/AVDocument.h"
#include "document/Version.h"

namespace vimra {

void Storage::setBIsSelected(bool value)
{
    if (value) {
        if (const auto doc = currentDoc()) {
            for (const auto& item : doc->collObjects())
                if (const auto storage = std::dynamic_pointer_cast<Storage>(item))
                    storage->m_bIsSelected = false;
        }
    }
    m_bIsSelected = value;
}

void Storage::afterRemoved(AVDocument&)
{
    const auto media = objParent();
    if (const auto version = std::dynamic_pointer_cast<Version>(media ? media->objParent() : nullptr))
        version->ResetDuration();
}

void Storage::makeMediaObject()
{
    m_mediaObject = MediaObject::create(context());
    m_mediaObject->strInit(std::static_pointer_cast<DocObject>(shared_from_this()));
}

} // namespace vimra
