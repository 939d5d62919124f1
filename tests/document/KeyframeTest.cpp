#include "DocumentTestSupport.h"
#include "support/FakeMediaDetector.h"
#include "support/TestMedia.h"
#include "support/TestPictures.h"

#include "document/MediaObject.h"
#include "platform/FileRead.h"
#include "document/Version.h"
#include "document/Video.h"
#include "records/Procedures.h"
#include "resources/MessageIds.h"

#include <QImage>
#include <QSet>

#include <optional>

#include <sys/stat.h>

using namespace vimra;
using namespace vimra::test;

namespace {

std::shared_ptr<Video> videoSegment(const Expression& main, const QString& title)
{
    for (const auto& s : main.colSubExpressions())
        if (s->strTitle() == title)
            return std::dynamic_pointer_cast<Video>(s);
    return nullptr;
}

QString pictureOf(const Video& v)
{
    const auto keyframe = v.objKeyframeObject();
    return keyframe ? keyframe->strGUID() : QString("(none)");
}

} // namespace

class KeyframeTest : public DocumentTest {
protected:
    // Film.xml whose first Version has a main Video with the given segments.
    std::shared_ptr<Expression> openWithSegments(const QString& media, const std::vector<QStringList>& segments)
    {
        writeFixture();
        setMedia(media);
        writeExpr("Film_video1.xml", "Video", "Main", versionOf("Film_version1.xml"), 0, 60);
        int n = 2;
        for (const auto& s : segments) {
            // title, start, end ("" for no span), further elements
            const QString name = QString("Film_video%1.xml").arg(n++);
            writeExpr(name, "Video", s[0], tag("partofvideo", "Film_video1.xml") + s.value(3),
                      s[1].isEmpty() ? -1 : s[1].toDouble(), s[2].toDouble());
        }
        doc = open("Film.xml");
        ver = at<Version>(*doc, 2);
        return ver->vdMainVideo();
    }
    QString clip() const { return path("Film_files/clip.mpg"); }
    QString keyframeElement(double start, const QString& file) const
    {
        return QString("<Keyframe start=\"%1\" end=\"0\" reasons=\"0\">%2</Keyframe>").arg(start * 1000).arg(file);
    }

    std::optional<FakeMediaDetector> detector;
    std::shared_ptr<AVDocument> doc;
    std::shared_ptr<Version> ver;
};

TEST_F(KeyframeTest, NewSegmentShowsTheFrameAtItsMiddleAndSaveAsMovesOrCopiesIt)
{
    writeFixture();
    const QString media = path("numbers.avi");
    ASSERT_TRUE(numberedClip(media));
    setMedia(media);
    doc = open("Film.xml");
    ver = at<Version>(*doc, 2);
    ver->AddMainExpression("Main", "Video", 0, 21);
    const auto main = ver->vdMainVideo();
    main->AddSubExpression("A", 10, 20);
    const auto a = videoSegment(*main, "A");
    EXPECT_EQ(a->dGetKeyFrameTime(), 15.0);
    const QString picture = path("Film_files/Film_mediaobject1.bmp");
    ASSERT_EQ(pictureOf(*a), picture);
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(uchar(file.read(30)[28]), 24) << "bits per pixel";
    EXPECT_EQ(a->picKeyFrameSmall().size(), QSize(160, 120));
    EXPECT_NEAR(qRed(a->picKeyFrameSmall().pixel(80, 60)), numberedRed(60), 1.2);
    EXPECT_EQ(a->picKeyFrame().size(), QSize(67, 50));
    EXPECT_EQ(main->objKeyframeObject(), nullptr);
    EXPECT_TRUE(std::static_pointer_cast<Video>(main)->picKeyFrameSmall().isNull());

    ASSERT_TRUE(doc->bSave());
    EXPECT_TRUE(read(a->strGUID().mid(dir.size() + 1)).contains("<Keyframe start=\"15000\" end=\"0\" reasons=\"0\">" + picture + "</Keyframe>"));

    // B's picture is new since the save, A's saved.
    main->AddSubExpression("B", 0, 5);
    const auto b = videoSegment(*main, "B");
    const QString bPicture = pictureOf(*b);
    ASSERT_TRUE(QFile::exists(bPicture));
    ASSERT_TRUE(doc->bSaveAs(path("Copy.xml")));
    for (const auto& v : {a, b}) {
        EXPECT_TRUE(pictureOf(*v).startsWith(path("Copy_files/Copy_mediaobject")));
        EXPECT_TRUE(QFile::exists(pictureOf(*v)));
    }
    EXPECT_TRUE(QFile::exists(picture)) << "copied";
    EXPECT_FALSE(QFile::exists(bPicture)) << "moved";
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(KeyframeTest, StoredKeyframesOpenInTheirState)
{
    detector.emplace();
    write("Film_files/clip.mpg", "media");
    QImage stored(4, 3, QImage::Format_RGB888);
    stored.fill(FakeMediaDetector::colourOf(7));
    ASSERT_TRUE(stored.save(path("Film_files/stored.bmp"), "BMP"));
    const auto main = openWithSegments(clip(), {{"NoKey", "10", "20", "<FrameRate>25</FrameRate>"},
                                                {"Negative", "20", "30", keyframeElement(-1, path("Film_files/stored.bmp"))},
                                                {"NoTime", "", "", keyframeElement(-1, "")},
                                                {"NoTimeNoKey", "", ""}});
    const auto noKey = videoSegment(*main, "NoKey");
    auto negative = videoSegment(*main, "Negative");
    const auto noTime = videoSegment(*main, "NoTime");
    const auto noTimeNoKey = videoSegment(*main, "NoTimeNoKey");

    // Only the segment without a keyframe was grabbed, at its middle; the
    // picture waits outside the document folder for a save.
    ASSERT_EQ(detector->grabs.size(), 1u);
    EXPECT_EQ(detector->grabs[0], std::make_pair(clip(), 15.0));
    EXPECT_EQ(noKey->dGetKeyFrameTime(), 15.0);
    EXPECT_EQ(pictureOf(*noKey), "");
    EXPECT_EQ(QDir(path("Film_files")).entryList(QDir::Files).filter(".bmp"), QStringList{"stored.bmp"});
    EXPECT_EQ(FakeMediaDetector::timeOf(noKey->picKeyFrameSmall()), 15.0);
    EXPECT_TRUE(noKey->bChanged());

    // A negative stored time reads as the middle, and the stored picture stays.
    EXPECT_EQ(negative->dGetKeyFrameTime(), 25.0);
    EXPECT_EQ(pictureOf(*negative), path("Film_files/stored.bmp"));
    EXPECT_EQ(FakeMediaDetector::timeOf(negative->picKeyFrameSmall()), 7.0);
    EXPECT_FALSE(negative->bChanged());

    // No time, no middle and no grab.
    EXPECT_EQ(noTime->dGetKeyFrameTime(), -1.0);
    EXPECT_EQ(pictureOf(*noTime), "");
    EXPECT_TRUE(noTime->picKeyFrameSmall().isNull());
    EXPECT_EQ(noTimeNoKey->objKeyframeObject(), nullptr);

    // The save moves it in and names it. Moving the keyframe time keeps the
    // picture; a stored time or rate given again (the rate stored as the
    // text "25") changes nothing.
    ASSERT_TRUE(doc->bSave());
    EXPECT_TRUE(pictureOf(*noKey).startsWith(path("Film_files/Film_mediaobject")));
    EXPECT_TRUE(QFile::exists(pictureOf(*noKey)));
    EXPECT_FALSE(QFile::exists(detector->lastTarget));
    noKey->SetKeyFrameTime(15);
    noKey->setDFrameRate(25.0);
    EXPECT_FALSE(noKey->bChanged());
    noKey->SetKeyFrameTime(16);
    EXPECT_TRUE(noKey->bChanged());
    EXPECT_EQ(FakeMediaDetector::timeOf(noKey->picKeyFrameSmall()), 15.0);
    EXPECT_EQ(detector->grabs.size(), 1u);

    // New segments never share a picture name.
    main->AddSubExpression("C", 30, 40);
    main->AddSubExpression("D", 40, 50);
    QSet<QString> pictures;
    for (const QString title : {"NoKey", "Negative", "C", "D"})
        pictures.insert(pictureOf(*videoSegment(*main, title)));
    EXPECT_EQ(pictures.size(), 4);

    // A removed segment without a picture queues no empty identifier.
    main->RemoveSubExpressionByPointer(noTime);
    EXPECT_FALSE(QStringList(doc->colRemovedGUIDs().begin(), doc->colRemovedGUIDs().end()).contains(""));
    // A removed segment's picture object keeps its path, without keeping the segment.
    const auto negativePicture = negative->objKeyframeObject();
    const std::weak_ptr<Video> removed = negative;
    main->RemoveSubExpressionByPointer(negative);
    negative.reset();
    EXPECT_TRUE(removed.expired());
    EXPECT_EQ(negativePicture->strGUID(), path("Film_files/stored.bmp"));
    EXPECT_TRUE(prompts.calls.empty());

    // Outside file-system mode the grabbed picture is not placed and not shown.
    doc->io()->setBFileSystem(false);
    main->AddSubExpression("E", 50, 55);
    ASSERT_EQ(detector->grabs.size(), 4u);
    const auto e = std::static_pointer_cast<Video>(main->colSubExpressions().Item(main->colSubExpressions().Count()));
    EXPECT_EQ(pictureOf(*e), "");
    EXPECT_TRUE(e->picKeyFrameSmall().isNull());
    QFile::remove(detector->lastTarget);
}

TEST_F(KeyframeTest, NoPictureFailureStopsAnOpenOrAnAdd)
{
    detector.emplace();
    write("Film_files/clip.mpg", "media");
    struct Row {
        const char* what;
        std::function<void()> arrange;
        QStringList messages;
    } rows[] = {
        {"missing media, told once for the document", [&] { setMedia(path("gone.mpg")); }, {path("gone.mpg") + " not found"}},
        {"audio only", [&] { detector->audioOnly = {clip()}; }, {}},
        {"time past the end", [&] { detector->length = 12; }, {}},
        {"detector error", [&] { detector->failGrabs = true; }, {}},
        {"no Keyframe in the schema", [&] { editSchema("<xs:element name=\"Keyframe\" type=\"ChunkType\"/>", ""); }, {}},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.what);
        detector->audioOnly.clear();
        detector->length = 60;
        detector->failGrabs = false;
        QDir(path("Film_files")).removeRecursively();
        writeFixture();
        write("Film_files/clip.mpg", "media");
        writeExpr("Film_video1.xml", "Video", "Main", versionOf("Film_version1.xml"), 0, 60);
        writeExpr("Film_video2.xml", "Video", "S1", tag("partofvideo", "Film_video1.xml"), 10, 20);
        writeExpr("Film_video3.xml", "Video", "S2", tag("partofvideo", "Film_video1.xml"), 20, 30);
        setMedia(clip());
        row.arrange();
        prompts.calls.clear();
        doc = open("Film.xml");
        const auto main = at<Version>(*doc, 2)->vdMainVideo();
        ASSERT_NE(main, nullptr);
        main->AddSubExpression("S3", 30, 40);
        QStringList messages;
        for (const auto& call : prompts.calls)
            messages << call.text;
        EXPECT_EQ(messages, row.messages);
        ASSERT_EQ(main->colSubExpressions().Count(), 3);
        for (const auto& s : main->colSubExpressions()) {
            const auto v = std::static_pointer_cast<Video>(s);
            EXPECT_TRUE(pictureOf(*v) == "" || pictureOf(*v) == "(none)") << pictureOf(*v).toStdString();
            EXPECT_TRUE(v->picKeyFrameSmall().isNull());
            EXPECT_TRUE(v->picKeyFrame().isNull());
        }
        // Such segments are removed and saved like any other.
        main->RemoveSubExpressionByPointer(main->colSubExpressions().Item(1));
        EXPECT_TRUE(doc->bSave());
        EXPECT_EQ(main->colSubExpressions().Count(), 2);
        doc->release();
        docs.clear();
    }
}

TEST_F(KeyframeTest, PicturesThatCannotBePlacedOrFollowASaveAsLeaveTheSegmentWithout)
{
    detector.emplace();
    write("Film_files/clip.mpg", "media");
    const auto main = openWithSegments(clip(), {{"S1", "10", "20"}, {"S2", "20", "30"}, {"Bare", "0", "10"}});
    const auto s1 = videoSegment(*main, "S1");
    const auto s2 = videoSegment(*main, "S2");
    ASSERT_TRUE(doc->bSave());

    // A picture that vanished is told once and dropped, so the next open
    // grabs anew; a segment without one has nothing to follow.
    const QString vanished = pictureOf(*s1);
    ASSERT_TRUE(QFile::remove(vanished));
    ASSERT_TRUE(doc->bSaveAs(path("Copy.xml")));
    ASSERT_EQ(prompts.calls.size(), 1u);
    EXPECT_EQ(prompts.calls[0].text, vanished + " not found");
    EXPECT_EQ(pictureOf(*s1), "");
    EXPECT_TRUE(pictureOf(*s2).startsWith(path("Copy_files/")));
    EXPECT_FALSE(read(s1->strGUID().mid(dir.size() + 1)).contains(".bmp"));
    doc->release();
    const auto copy = open("Copy.xml");
    const auto copyMain = at<Version>(*copy, 2)->vdMainVideo();
    EXPECT_FALSE(videoSegment(*copyMain, "S1")->picKeyFrameSmall().isNull());

    // An error text in place of a picture's name is shown, never stored.
    prompts.calls.clear();
    const auto bare = videoSegment(*copyMain, "Bare");
    bare->objKeyframeObject()->setStrGUID(""); // as a segment without a picture
    write("blocker", "a file where the folder would be");
    copy->setStrGUID(path("blocker/Film.xml"));
    const int grabs = int(detector->grabs.size());
    bare->InitKeyFrameFile();
    EXPECT_EQ(int(detector->grabs.size()), grabs + 1);
    ASSERT_EQ(prompts.calls.size(), 1u);
    EXPECT_EQ(prompts.calls[0].buttons, Prompts::OKOnly);
    EXPECT_EQ(prompts.calls[0].icon, Prompts::NoIcon);
    EXPECT_EQ(pictureOf(*bare), "");
    EXPECT_EQ(QDir(strTempPath()).entryList({QFileInfo(detector->lastTarget).fileName()}).size(), 0);
}

// Stored pictures larger than a frame of high-definition video open at that
// size, one whose header cannot be read is told and kept, and a removed
// segment deletes no file another object lives in.
TEST_F(KeyframeTest, StoredPicturesOpenNoLargerThanAFrameAndGoOnlyWithTheirSegment)
{
    detector.emplace();
    write("Film_files/clip.mpg", "media");
    QImage(3000, 1000, QImage::Format_Mono).save(path("Film_files/wide.jpg"));
    QImage(2000, 4000, QImage::Format_Mono).save(path("Film_files/tall.png"));
    write("Film_files/none.bmp", "not a picture");
    const QStringList others = {path("Film.xml"), path("Film_files/Film_version1.xml"), path("Film_files/Film_video1.xml"), clip()};
    std::vector<QStringList> segments;
    for (const QString& file : others + QStringList{path("Film_files/wide.jpg"), path("Film_files/tall.png"), path("Film_files/none.bmp")})
        segments.push_back({file, "10", "20", keyframeElement(1, file)});
    const auto main = openWithSegments(clip(), segments);
    for (const auto& [name, size] : {std::pair{"wide.jpg", QSize(1920, 640)}, {"tall.png", QSize(540, 1080)}, {"none.bmp", QSize(0, 0)}})
        EXPECT_EQ(videoSegment(*main, path(QString("Film_files/") + name))->picKeyFrameSmall().size(), size) << name;
    EXPECT_EQ(prompts.messages(), QStringList{"File not valid: " + path("Film_files/none.bmp")});
    for (const QString& other : others)
        main->RemoveSubExpressionByPointer(videoSegment(*main, other));
    ASSERT_TRUE(doc->bSave());
    EXPECT_EQ(pictureOf(*videoSegment(*main, path("Film_files/none.bmp"))), path("Film_files/none.bmp"));
    doc->io()->release();
    for (const QString& other : others)
        EXPECT_TRUE(QFile::exists(other)) << other.toStdString();
}

// A stored picture is shown whatever size Qt reads, or named once with why it
// is not: outside the folder, not a file, too large to read.
TEST_F(KeyframeTest, StoredPicturesThatCannotBeShownAreNamedOnceWithTheReason)
{
    detector.emplace();
    write("Film_files/clip.mpg", "media");
    QTemporaryDir outside;
    const QString elsewhere = outside.filePath("out.bmp"), folder = path("Film_files/folder.bmp");
    const QString fifo = path("Film_files/fifo.bmp"), large = path("Film_files/large.bmp");
    ASSERT_TRUE(QImage(4, 3, QImage::Format_RGB32).save(elsewhere));
    writeFile(path("Film_files/tall.png"), pngBytes(1, 5000000));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    write("Film_files/large.bmp", "BM");
    ASSERT_TRUE(QFile(large).resize(fs::kMaxReadSize + 1));
    const QStringList pictures = {path("Film_files/tall.png"), elsewhere, folder, fifo, large};
    const QStringList messages = {elsewhere + " " + text(msg::OutsideDocumentFolder), folder + ": " + text(msg::NotRegularFile),
                                  fifo + ": " + text(msg::NotRegularFile), large + ": " + text(msg::FileTooLarge)};
    std::vector<QStringList> segments;
    for (const QString& picture : pictures)
        segments.push_back({picture, "10", "20", keyframeElement(1, picture)});
    const auto main = openWithSegments(clip(), segments);
    for (int pass = 0; pass < 2; ++pass)
        for (const QString& picture : pictures) {
            const auto v = videoSegment(*main, picture);
            v->CreateKeyFrameIcons();
            EXPECT_EQ(v->picKeyFrameSmall().size(), picture == pictures[0] ? QSize(1, 1080) : QSize(0, 0)) << picture.toStdString();
        }
    EXPECT_EQ(prompts.messages(), messages);
    // A Save As says nothing new: a FIFO in a picture's place is dropped as a
    // missing picture is, one elsewhere stays the owner's.
    ASSERT_TRUE(doc->bSaveAs(path("Copy.xml")));
    EXPECT_EQ(prompts.messages(), messages);
    EXPECT_EQ(pictureOf(*videoSegment(*main, fifo)), "");
    EXPECT_EQ(pictureOf(*videoSegment(*main, elsewhere)), elsewhere);
}

// A picture grabbed at open that cannot be placed at the save (a plain file
// has the folder's name) is told once; the segment is saved without it.
TEST_F(KeyframeTest, APictureThatCannotBePlacedLeavesItsSegmentSavedWithoutIt)
{
    detector.emplace();
    openWithSegments(clip(), {});
    doc->release();
    docs.clear();
    // The same document with its objects in another folder beside it.
    writeExpr("Film_video2.xml", "Video", "S1", tag("partofvideo", "Film_video1.xml"), 10, 20);
    write("Film_files/clip.mpg", "media");
    ASSERT_TRUE(QDir().mkpath(path("objects")));
    for (const QString& name : QDir(path("Film_files")).entryList(QDir::Files)) {
        write("objects/" + name, read("Film_files/" + name).replace(path("Film_files/"), path("objects/")));
        QFile::remove(path("Film_files/" + name));
    }
    write("Film.xml", read("Film.xml").replace(path("Film_files/"), path("objects/")));
    ASSERT_TRUE(QDir().rmdir(path("Film_files")));
    write("Film_files", "a file where the folder would be");
    doc = open("Film.xml");
    const auto s1 = videoSegment(*at<Version>(*doc, 2)->vdMainVideo(), "S1");
    ASSERT_NE(s1, nullptr);
    ASSERT_EQ(detector->grabs.size(), 1u);
    EXPECT_TRUE(prompts.calls.empty());

    for (const QString title : {"Edited", "Edited again"}) {
        s1->setStrTitle(title);
        ASSERT_TRUE(doc->bSave()) << title.toStdString();
        const QString saved = read("objects/Film_video2.xml");
        EXPECT_TRUE(saved.contains("<Title>" + title + "</Title>") && saved.contains("<Time start=\"10000\" end=\"20000\"")
                    && saved.contains("<partofvideo>" + path("objects/Film_video1.xml")))
            << saved.toStdString();
    }
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].startsWith(text(msg::KeyframeNotPlaced) + ": ")) << prompts.messages()[0].toStdString();
    EXPECT_EQ(pictureOf(*s1), "");
    EXPECT_FALSE(QFile::exists(detector->lastTarget));
}
