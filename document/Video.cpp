#include "document/Video.h"

#include "document/AVDocument.h"
#include "document/DocumentUi.h"
#include "document/MediaObject.h"
#include "platform/FileRead.h"
#include "platform/FileWrite.h"
#include "platform/MediaDetector.h"
#include "platform/PictureRead.h"
#include "platform/Prompts.h"
#include "records/ChangeLog.h"
#include "records/IOManager.h"
#include "records/Procedures.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cmath>

namespace vimra {

namespace {

// The model has no screen: the thumbnail is sized at the program's 15 twips
// per logical pixel, rounded half to even (66.67 x 50 gives 67 x 50).
QSize thumbnailSize()
{
    constexpr float kTwipsPerPixel = 15.0f;
    return {static_cast<int>(std::nearbyint(1000.0f / kTwipsPerPixel)),
            static_cast<int>(std::nearbyint(750.0f / kTwipsPerPixel))};
}

// Why a picture's file was not read, said after its path.
QString strWhyNotRead(fs::ReadResult result)
{
    switch (result) {
    case fs::ReadResult::NotRegular:
        return text(msg::NotRegularFile);
    case fs::ReadResult::TooLarge:
        return text(msg::FileTooLarge);
    case fs::ReadResult::NoMemory:
        return qt_error_string(ENOMEM);
    default:
        return qt_error_string(errno);
    }
}

double midpoint(const Chunk& span) { return span.dStart + (span.dend - span.dStart) / 2; }

// A Real field's value as a number: loaded values are text ("25"), set ones
// doubles.
double numberOf(const FieldValue& value)
{
    if (const auto* d = std::get_if<double>(&value))
        return *d;
    if (const auto* i = std::get_if<int>(&value))
        return *i;
    return valueToText(value).toDouble();
}

} // namespace

std::shared_ptr<RegistryItem> Video::objKeyframeObject() const { return m_keyframe; }

SEColl::Record Video::assignedKeyframe() const
{
    const auto& secol = ownFields();
    if (!secol)
        return nullptr;
    for (const auto& field : *secol)
        if (field->strName == QLatin1String("Keyframe") && field->bValid)
            return field;
    return nullptr;
}

double Video::dFrameRate() const
{
    const auto& secol = ownFields();
    if (!secol)
        return 0.0;
    for (const auto& field : *secol) {
        if (field->strName == QLatin1String("FrameRate") && field->bValid)
            return numberOf(field->vContent);
    }
    return 0.0;
}

void Video::setDFrameRate(double value)
{
    const auto field = firstNamed(QStringLiteral("FrameRate"));
    if (!field)
        return;
    // An unassigned field's value is not the stored rate, whatever it holds.
    if (!field->bValid || numberOf(field->vContent) != value) {
        field->vContent = value;
        field->bChanged = true;
    }
    field->bValid = true;
}

double Video::dGetKeyFrameTime() const
{
    const auto field = assignedKeyframe();
    const auto chunk = field ? valueObject<Chunk>(field->vContent) : nullptr;
    if (!chunk)
        return -1;
    if (chunk->dStart >= 0)
        return chunk->dStart;
    // Without a span there is no middle either.
    const auto span = ckGetChunk();
    return span ? midpoint(*span) : -1;
}

void Video::SetKeyFrameTime(double dTime)
{
    const auto field = firstNamed(QStringLiteral("Keyframe"));
    if (!field)
        return;
    auto chunk = field->bValid ? valueObject<Chunk>(field->vContent) : nullptr;
    if (!chunk) {
        chunk = std::make_shared<Chunk>();
        field->vContent = chunk;
    }
    if (chunk->dStart != dTime) {
        chunk->dStart = dTime;
        field->bChanged = true;
    }
    field->bValid = true;
}

Video::~Video()
{
    // A picture grabbed at open and never saved goes with its segment.
    if (!m_strGrabbed.isEmpty())
        QFile::remove(m_strGrabbed);
}

void Video::afterSegmentLoaded()
{
    if (dGetKeyFrameTime() < 0)
        if (const auto span = ckGetChunk())
            SetKeyFrameTime(midpoint(*span));
    // Opening writes nothing into the document folder: a picture grabbed now
    // waits in the temporary folder for the save that writes this segment.
    InitKeyFrameFile(false);
}

bool Video::bSave()
{
    // Refused before the picture is placed for a file that is not written.
    if (!bSpansWritable())
        return false;
    // A picture that cannot be placed is told and dropped: the segment's own
    // fields are saved all the same, without a picture.
    if (!m_strGrabbed.isEmpty() && bFieldsRead() && ownFields()->bChanged()) {
        if (const QString error = strPlaceGrabbed(m_strGrabbed); !error.isEmpty())
            DropGrabbed(m_strGrabbed, error);
        m_strGrabbed.clear();
    }
    return Expression::bSave();
}

void Video::DropGrabbed(const QString& strTemp, const QString& strError)
{
    prompts().MsgBox(strError);
    QFile::remove(strTemp);
    m_keyframe->setStrGUID(QString());
    m_keyframe->setBChanged(false);
}

void Video::segmentTimed(Expression& segment)
{
    if (const auto span = segment.ckGetChunk())
        static_cast<Video&>(segment).SetKeyFrameTime(midpoint(*span));
}

void Video::segmentAdded(Expression& segment)
{
    auto& video = static_cast<Video&>(segment);
    video.InitKeyFrameFile();
    video.CreateKeyFrameIcons();
}

QString Video::vGrabKeyFrameBitmap() const
{
    const double dTime = dGetKeyFrameTime();
    QString strMedia = strGetMediaObjectPath();
    if (dTime < 0 || strMedia.isEmpty())
        return {};
    if (!vFileExists(strMedia)) {
        WarnUnusableOnce(strMedia);
        return {};
    }
    strToBackslashes(strMedia);
    // Named as ours: a kill before the save leaves it for the next start's cleanup.
    const QString strTarget = fs::newOwnFileName(strTempPath(), QStringLiteral(".bmp"));
    // The detector writes the frame at the video's native size itself, from
    // the one open of the file.
    if (!mediaDetector().writeFrame(strMedia, dTime, strTarget)) {
        QFile::remove(strTarget);
        return {};
    }
    return strTarget;
}

void Video::InitKeyFrameFile(bool bPlace)
{
    const auto field = assignedKeyframe();
    if (!field)
        return;
    m_keyframe = MediaObject::create(context());
    m_keyframe->strInit(std::static_pointer_cast<DocObject>(shared_from_this()));
    if (!m_keyframe->strGUID().isEmpty())
        return;

    if (const QString strTemp = vGrabKeyFrameBitmap(); !strTemp.isEmpty()) {
        m_keyframe->setStrTypeOfObject(vExtensionOf(strTemp));
        m_keyframe->setBChanged(true);
        // Outside file-system mode the picture stays where it was grabbed.
        if (io() && io()->bFileSystem() && !bPlace) {
            m_strGrabbed = strTemp;
        } else if (io() && io()->bFileSystem()) {
            // The segment stays without a picture when it cannot be placed.
            if (const QString error = strPlaceGrabbed(strTemp); !error.isEmpty())
                DropGrabbed(strTemp, error);
        }
    }
    // Changed also without a picture, so the next open tries again.
    field->bChanged = true;
}

QString Video::strPlaceGrabbed(const QString& strTemp)
{
    const auto doc = currentDoc();
    if (!doc)
        return QStringLiteral("No document to hold the keyframe picture.");
    const auto guid = doc->newGUID(*io(), QStringLiteral("MediaObject"), m_keyframe->strTypeOfObject());
    if (!guid.ok())
        return text(msg::KeyframeNotPlaced) + QStringLiteral(": ") + guid.strError;
    m_keyframe->setStrGUID(guid.strGUID);
    return UpdateLocationKeyFrameObject(strTemp, m_keyframe->strGUID());
}

QString Video::UpdateLocationKeyFrameObject(const QString& strSource, const QString& strDestination)
{
    if (!m_keyframe || !io())
        return {};
    const QString error = m_keyframe->bChanged() ? io()->MoveObject(strSource, strDestination)
                                                 : io()->CopyObject(strSource, strDestination);
    return error.isEmpty() ? error : strFailedOn(text(msg::KeyframeNotPlaced), strDestination, error);
}

void Video::ReportOutside() const
{
    io()->ReportOnce(m_keyframe->strGUID(), m_keyframe->strGUID() + QLatin1Char(' ') + text(msg::OutsideDocumentFolder));
}

bool Video::bKeyframeOutside() const
{
    const auto doc = currentDoc();
    return m_keyframe && doc && io() && io()->bFileSystem() && !m_keyframe->strGUID().isEmpty()
        && !doc->bInsideFolder(m_keyframe->strGUID());
}

QString Video::vGetKeyFrameFilePath() const
{
    if (!m_strGrabbed.isEmpty())
        return m_strGrabbed;
    // A picture outside the document's folder is shown as a missing one.
    if (bKeyframeOutside() || !m_keyframe || !io() || !io()->bFileSystem() || m_keyframe->strGUID().isEmpty())
        return {};
    // Read by the path the folder's bounds were judged on: "link/.." leads
    // where the name says, not to the link's parent.
    return strAbsolutePath(m_keyframe->strGUID());
}

namespace {

ChangeLog& droppedPictures()
{
    static ChangeLog log;
    return log;
}

} // namespace

void Video::CreateKeyFrameIcons()
{
    m_bPicturesRead = false;
    m_picKeyFrameSmall = QImage();
    m_picKeyFrame = QImage();
    droppedPictures().note(strGUID());
}

quint64 Video::iDroppedPictures() { return droppedPictures().stamp(); }

std::optional<std::span<const QString>> Video::droppedPicturesSince(quint64 count)
{
    return droppedPictures().since(count);
}

const QImage& Video::picKeyFrameSmall() const
{
    loadKeyFramePictures();
    return m_picKeyFrameSmall;
}

const QImage& Video::picKeyFrame() const
{
    loadKeyFramePictures();
    return m_picKeyFrame;
}

void Video::loadKeyFramePictures() const
{
    if (m_bPicturesRead)
        return;
    m_bPicturesRead = true;
    if (!objMainExpr())
        return;
    const QString path = vGetKeyFrameFilePath();
    m_picKeyFrameSmall = QImage();
    m_picKeyFrame = QImage();
    // A picture that cannot be shown gives null pictures and is named once
    // with the reason (a missing one is told by the Save As that misses it);
    // a FIFO or device named as the picture is not waited on.
    if (bKeyframeOutside()) {
        ReportOutside();
        return;
    }
    if (path.isEmpty())
        return;
    const auto report = [&](const QString& message) {
        if (io())
            io()->ReportOnce(path, message);
    };
    QByteArray bytes;
    if (const auto result = fs::readRegularFile(path, bytes); result != fs::ReadResult::Read) {
        if (result != fs::ReadResult::NotFound)
            report(strFailedOn(QString(), path, strWhyNotRead(result)));
        return;
    }
    // A small file may declare a picture of any size: one larger than a
    // frame of high-definition video is shown at that size.
    const QString error = readPicture(bytes, QFileInfo(path).suffix().toLatin1(), path, QSize(1920, 1080), m_picKeyFrameSmall);
    if (!error.isEmpty()) {
        report(error);
        return;
    }
    m_picKeyFrame = m_picKeyFrameSmall.convertToFormat(QImage::Format_RGB32)
                            .scaled(thumbnailSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QString Video::strRelocateFiles(IOManager::GUIDMaker& maker)
{
    if (!m_keyframe || !io() || !io()->bFileSystem())
        return {};
    // A picture still in the temporary folder moves straight to the new folder.
    const QString strOld = m_strGrabbed.isEmpty() ? m_keyframe->strGUID() : m_strGrabbed;
    if (strOld.isEmpty())
        return {};
    // Missing to this document, but not to its owner: the reference stays.
    if (bKeyframeOutside()) {
        ReportOutside();
        return {};
    }
    if (!vFileExists(strAbsolutePath(strOld))) {
        // The reference goes, so the next open grabs a new picture; the
        // save goes on. A folder or FIFO in its place was told when shown.
        if (QFileInfo::exists(strOld))
            io()->ReportOnce(strOld, strFailedOn(QString(), strOld, text(msg::NotRegularFile)));
        else
            WarnNotFoundOnce(strOld);
        m_keyframe->setStrGUID(QString());
        m_keyframe->setBChanged(false);
        return {};
    }
    const auto guid = maker.next(QStringLiteral("MediaObject"), m_keyframe->strTypeOfObject());
    if (!guid.ok())
        return guid.strError;
    m_keyframe->setStrGUID(guid.strGUID);
    const QString error = UpdateLocationKeyFrameObject(strOld, m_keyframe->strGUID());
    if (error.isEmpty())
        m_strGrabbed.clear();
    return error;
}

DocObject::SavedState Video::savedState(const QString& strSchemaPath) const
{
    SavedState state = Expression::savedState(strSchemaPath);
    state.strGrabbed = m_strGrabbed;
    return state;
}

void Video::restoreState(SavedState& state)
{
    Expression::restoreState(state);
    m_strGrabbed = state.strGrabbed;
}

void Video::afterRemoved(AVDocument& doc)
{
    documentUi().RemoveIcon(strGUID());
    // A segment without a picture queues no empty identifier.
    const auto keyframe = objKeyframeObject();
    if (!keyframe || keyframe->strGUID().isEmpty())
        return;
    // A stored picture path may name a file another object lives in (the
    // document's, a Version's, a media file): that file is not the segment's.
    for (const RegistryItem* other : doc.collObjects().objectsNamed(keyframe->strGUID()))
        if (other != keyframe.get())
            return;
    doc.queueRemoved(keyframe->strGUID());
}

} // namespace vimra
