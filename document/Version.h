#pragma once

#include "document/ParentObject.h"

namespace vimra {

// One version of the audio-visual document; names its Media in the relation
// field manifestedby and keeps the duration of its media in Duration.
class Version : public ParentObject {
public:
    using ParentObject::ParentObject;

    QString className() const override { return QStringLiteral("Version"); }

    void AddManifestedBy(const QString& strGUID) { addRelation(strGUID); }
    void RemoveManifestedBy(const QString& strGUID) { removeRelation(strGUID); }

    // The duration in seconds: the end of the Duration chunk, 0 without one.
    double dDuration() const;
    // Always marks Duration changed, even for the same duration.
    void setDDuration(double seconds);
    // Sets the duration to 0 once no Media has a Storage left.
    void ResetDuration();
    bool bCheckForSorages() const;

protected:
    QString strGUIDElement() const override { return QStringLiteral("VersionGUID"); }
    QString strTitleElement() const override { return QStringLiteral("VersionTitle"); }
    QString strRelationName() const override { return QStringLiteral("manifestedby"); }
    QString strChildClass() const override { return QStringLiteral("Media"); }
    std::shared_ptr<DocObject> newChild() override;
};

} // namespace vimra
