#pragma once

#include "document/Expression.h"

namespace vimra {

// The picture of a Version, or a segment of it.
class Video : public Expression {
public:
    using Expression::Expression;

    QString className() const override { return QStringLiteral("Video"); }
    // The next segment's identifier as stored; "" when there is none.
    using Expression::strFollowedBy;

    // Drops the keyframe icon and queues the keyframe picture.
    void afterRemoved(AVDocument& doc) override;

protected:
    QString strGUIDElement() const override { return QStringLiteral("VideoGUID"); }
    QString strTitleElement() const override { return QStringLiteral("Title"); }
    QString strPartOfName() const override { return QStringLiteral("partofvideo"); }
    QString strFollowedByName() const override { return QStringLiteral("followedbyvideo"); }
    QStringList renamedRelationNames() const override
    {
        return {QStringLiteral("hasvideotranscript"), QStringLiteral("hasaudio")};
    }

    // Keyframes are not kept yet. A segment's keyframe is set up after its
    // registration, the icons are made at the end of strOpen, and a new
    // segment gets its keyframe time once timed and its picture once added.
    void afterSegmentLoaded() override {}
    void afterSubExpressionsOpened() override {}
    void segmentTimed(Expression&) override {}
    void segmentAdded(Expression&) override {}
};

} // namespace vimra
