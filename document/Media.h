#pragma once

#include "document/ParentObject.h"

namespace vimra {

// One media format in which a Version exists; names its Storages in the
// relation field availableas.
class Media : public ParentObject {
public:
    using ParentObject::ParentObject;

    QString className() const override { return QStringLiteral("Media"); }

    void AddAvailableAs(const QString& strGUID) { addRelation(strGUID); }
    void RemoveAvailableAs(const QString& strGUID) { removeRelation(strGUID); }

protected:
    QString strGUIDElement() const override { return QStringLiteral("MediaGUID"); }
    QString strTitleElement() const override { return QStringLiteral("Format"); }
    QString strRelationName() const override { return QStringLiteral("availableas"); }
    QString strChildClass() const override { return QStringLiteral("Storage"); }
    std::shared_ptr<DocObject> newChild() override;
    // Storages are only loaded: they are not reported while a document opens.
    bool bChildOpensTree() const override { return false; }
};

} // namespace vimra
