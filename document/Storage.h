#pragma once

#include "document/DocObject.h"

namespace vimra {

// One stored copy of a Media: a media file, whose location is its title
// field Collocation. A leaf of the document tree.
class Storage : public DocObject {
public:
    using DocObject::DocObject;

    QString className() const override { return QStringLiteral("Storage"); }

protected:
    QString strGUIDElement() const override { return QStringLiteral("StorageGUID"); }
    QString strTitleElement() const override { return QStringLiteral("Collocation"); }
};

} // namespace vimra
