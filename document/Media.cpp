#include "document/Media.h"

#include "document/Storage.h"

namespace vimra {

std::shared_ptr<DocObject> Media::newChild()
{
    return std::make_shared<Storage>(context());
}

} // namespace vimra
