#pragma once

#include "document/DocObject.h"

namespace vimra {

// One stored copy of a Media: a media file, whose location is its title
// field Collocation. A leaf of the document tree.
class Storage : public DocObject {
public:
    using DocObject::DocObject;

    QString className() const override { return QStringLiteral("Storage"); }

    // The Storage whose media the editors play; memory only, never saved.
    // Setting it clears it on every other Storage of the document first.
    bool bIsSelected() const { return m_bIsSelected; }
    void setBIsSelected(bool value);

    // The assigned fields of any type: the size rule of the Storage's form.
    int iNumValidElem() const { return secol() ? secol()->iNumValid() : 0; }

protected:
    QString strGUIDElement() const override { return QStringLiteral("StorageGUID"); }
    QString strTitleElement() const override { return QStringLiteral("Collocation"); }

private:
    bool m_bIsSelected = false;
};

} // namespace vimra
