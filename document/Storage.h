#pragma once

#include "document/DocObject.h"
#include "document/MediaObject.h"

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
    // The location of the media file; "" when unassigned.
    QString strGetCollocation() const { return strTitle(); }
    // The Version's duration goes back to 0 once its last Storage is gone.
    void afterRemoved(AVDocument& doc) override;

    // The assigned fields of any type: the size rule of the Storage's form.
    int iNumValidElem() const { return secol() ? secol()->iNumValid() : 0; }

protected:
    QString strGUIDElement() const override { return QStringLiteral("StorageGUID"); }
    QString strTitleElement() const override { return QStringLiteral("Collocation"); }
    // The media file joins the registry after every successful load or initialisation.
    void afterLoad() override { makeMediaObject(); }
    void afterInit() override { makeMediaObject(); }

private:
    void makeMediaObject();

    bool m_bIsSelected = false;
    std::shared_ptr<MediaObject> m_mediaObject;
};

} // namespace vimra
