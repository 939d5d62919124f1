#pragma once

#include "document/Expression.h"

#include <QImage>

#include <optional>
#include <span>

namespace vimra {

class MediaObject;

// The picture of a Version, or a segment of it. A segment has a keyframe: a
// time inside it and a picture of the media at that time, kept as a bitmap in
// the document folder.
class Video : public Expression {
public:
    using Expression::Expression;
    ~Video() override;

    QString className() const override { return QStringLiteral("Video"); }
    // The next segment's identifier as stored; "" when there is none.
    using Expression::strFollowedBy;

    // The keyframe picture's media object; none for a main expression.
    std::shared_ptr<RegistryItem> objKeyframeObject() const override;
    // Frames per second of the media; 0 when none is stored.
    double dFrameRate() const;
    void setDFrameRate(double value);
    // The keyframe picture at its own size, and as a 1000 x 750-twip
    // thumbnail; null when there is no picture. Read from the picture's file
    // when first asked for: a large document opens without decoding every
    // picture, and keeps only those shown.
    const QImage& picKeyFrameSmall() const;
    const QImage& picKeyFrame() const;
    // The two pictures are read again when next asked for (segments only).
    void CreateKeyFrameIcons();
    // Rises each time any Video drops its pictures (CreateKeyFrameIcons).
    static quint64 iDroppedPictures();
    // The identifiers of the Videos that dropped their pictures since
    // `count`, as they were then; nothing when those are no longer all known.
    static std::optional<std::span<const QString>> droppedPicturesSince(quint64 count);
    // The keyframe time in seconds; a negative stored time reads as the
    // middle of the span. -1 when there is none.
    double dGetKeyFrameTime() const;
    // Makes the keyframe's media object, and grabs a picture when the
    // keyframe has none yet: placed in the document folder, or with
    // `bPlace` false kept in the temporary folder until the segment is saved.
    void InitKeyFrameFile(bool bPlace = true);
    // Places a picture still waiting in the temporary folder, then writes.
    bool bSave() override;
    // Writes the time only: the picture stays as it is.
    void SetKeyFrameTime(double dTime);
    // Moves the picture when it was made since the last save, else copies it.
    // "" or the reason.
    QString UpdateLocationKeyFrameObject(const QString& strSource, const QString& strDestination);

    // Save-as: the picture follows the segment into the new document folder.
    QString strRelocateFiles(IOManager::GUIDMaker& maker) override;
    SavedState savedState(const QString& strSchemaPath = QString()) const override;
    void restoreState(SavedState& state) override;
    // Drops the keyframe icon and queues the keyframe picture.
    void afterRemoved(AVDocument& doc) override;

protected:
    QString strGUIDElement() const override { return QStringLiteral("VideoGUID"); }
    QString strTitleElement() const override { return QStringLiteral("Title"); }
    QString strPartOfName() const override { return QStringLiteral("partofvideo"); }
    QString strFollowedByName() const override { return QStringLiteral("followedbyvideo"); }
    std::vector<std::pair<QString, QString>> renamedRelations() const override
    {
        return {{QStringLiteral("hasvideotranscript"), QStringLiteral("Transcript")},
                {QStringLiteral("hasaudio"), QStringLiteral("Audio")}};
    }

    void afterSegmentLoaded() override;
    void afterSubExpressionsOpened() override { CreateKeyFrameIcons(); }
    void segmentTimed(Expression& segment) override;
    void segmentAdded(Expression& segment) override;

private:
    SEColl::Record assignedKeyframe() const;
    QString vGetKeyFrameFilePath() const;
    // True when the keyframe picture named lies outside the document's folder.
    bool bKeyframeOutside() const;
    // Says once that the picture named lies outside the document's folder.
    void ReportOutside() const;
    // A new temporary bitmap of the frame at the keyframe time; "" when none.
    QString vGrabKeyFrameBitmap() const;
    // Moves a grabbed picture into the document folder; "" or the reason.
    QString strPlaceGrabbed(const QString& strTemp);
    // Tells why a grabbed picture was not placed, deletes it and leaves the
    // segment without a picture.
    void DropGrabbed(const QString& strTemp, const QString& strError);

    void loadKeyFramePictures() const;

    std::shared_ptr<MediaObject> m_keyframe;
    // A picture grabbed at open, still in the temporary folder; "" once placed.
    QString m_strGrabbed;
    mutable bool m_bPicturesRead = false;
    mutable QImage m_picKeyFrameSmall;
    mutable QImage m_picKeyFrame;
};

} // namespace vimra
