#include "document/Video.h"

#include "document/AVDocument.h"
#include "document/DocumentUi.h"

namespace vimra {

void Video::afterRemoved(AVDocument& doc)
{
    documentUi().RemoveIcon(strGUID());
    if (const auto keyframe = objKeyframeObject())
        doc.queueRemoved(keyframe->strGUID());
}

} // namespace vimra
