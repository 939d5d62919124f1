#include "DocumentTestSupport.h"
#include "support/FakeMediaDetector.h"

#include "document/DocumentLocator.h"
#include "document/Expression.h"
#include "document/Media.h"
#include "document/MediaObject.h"
#include "document/Storage.h"
#include "document/Transcript.h"
#include "document/Version.h"
#include "resources/MessageIds.h"

#include <QDir>
#include <QProcess>

#include <set>

using namespace vimra;
using namespace vimra::test;

namespace {

QStringList titlesOf(const Expression::Segments& segments)
{
    QStringList out;
    for (const auto& s : segments)
        out << s->strTitle();
    return out;
}

// The segment that no sibling follows.
std::shared_ptr<Expression> segmentsHead(const Expression& expr)
{
    for (const auto& candidate : expr.colSubExpressions()) {
        bool followed = false;
        for (const auto& s : expr.colSubExpressions())
            followed = followed || s->objFollowedBy() == candidate;
        if (!followed)
            return candidate;
    }
    return nullptr;
}

} // namespace

class ScanTest : public DocumentTest {
protected:
    FakeMediaDetector detector;

    // The fixture of writeFixture with expressions: Version 1 has a main
    // Audio and Transcript, two main Videos (video2, later in the folder,
    // wins), and video2 has the segments S2 (video5) and S1 (video6, before
    // S2 in time) with S1a (video7) below S1; Version 2 has its own Video
    // (video3). A media file lies among the object files, the first
    // Storage's media.
    void writeExpressions() const
    {
        writeFixture();
        write("Film_files/clip.mpg", "not xml");
        setMedia(path("Film_files/clip.mpg"));
        writeExpr("Film_audio1.xml", "Audio", "Main audio", versionOf("Film_version1.xml"), 0, 90);
        writeExpr("Film_transcript1.xml", "Transcript", "Main transcript",
                  versionOf("Film_version1.xml")
                      + "<transcriptwordlist><Word start=\"1000\" end=\"2000\">Hello</Word></transcriptwordlist>",
                  0, 90);
        writeExpr("Film_video1.xml", "Video", "Old main", versionOf("Film_version1.xml"), 0, 90);
        writeExpr("Film_video2.xml", "Video", "Main video", versionOf("Film_version1.xml"), 0, 90);
        writeExpr("Film_video3.xml", "Video", "Other video", versionOf("Film_version2.xml"), 0, 90);
        writeExpr("Film_video5.xml", "Video", "S2", tag("partofvideo", "Film_video2.xml"), 20, 30);
        writeExpr("Film_video6.xml", "Video", "S1",
                  tag("partofvideo", "Film_video2.xml") + tag("followedbyvideo", "Film_video5.xml"), 0, 10);
        writeExpr("Film_video7.xml", "Video", "S1a", tag("partofvideo", "Film_video6.xml"), 0, 5);
    }

    QString climb(const QString& rel)
    {
        const auto scratch = AVDocument::create();
        docs.push_back(scratch);
        const QString found = strRetrieveAVDocGUIDFromGUID(newStore(), scratch, path(rel));
        EXPECT_EQ(scratch->collObjects().Count(), 0) << "a candidate was left registered";
        return found;
    }
};

TEST_F(ScanTest, DocumentOpensWithItsExpressionsAndSegments)
{
    writeExpressions();
    const auto doc = open("Film.xml");

    EXPECT_EQ(classesOf(*doc), QStringList({"AVDocument", "Version", "Media", "Storage", "MediaObject", "Storage",
                                            "MediaObject", "Audio", "Transcript", "Video", "Video", "Video", "MediaObject",
                                            "Video", "MediaObject", "Video", "MediaObject", "Version", "Video"}));
    EXPECT_EQ(ui.status, QStringList({"Opening object n. 1 (Film)", "Opening object n. 2 (First cut)",
                                      "Opening object n. 3 (DVD)", "Opening object n. 8 (Main audio)",
                                      "Opening object n. 9 (Main transcript)", "Opening object n. 10 (Old main)",
                                      "Opening object n. 11 (Main video)", "Opening object n. 13 (S2)",
                                      "Opening object n. 15 (S1)", "Opening object n. 17 (S1a)",
                                      "Opening object n. 18 (Second cut)", "Opening object n. 19 (Other video)"}));
    EXPECT_TRUE(prompts.calls.empty());

    const auto v1 = at<Version>(*doc, 2);
    const auto video = v1->vdMainVideo();
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->strTitle(), "Main video");
    EXPECT_EQ(v1->auMainAudio()->strTitle(), "Main audio");
    EXPECT_EQ(v1->trMainTranscript()->strTitle(), "Main transcript");
    EXPECT_EQ(at<Version>(*doc, 18)->vdMainVideo()->strTitle(), "Other video");
    EXPECT_EQ(at<Version>(*doc, 18)->auMainAudio(), nullptr);

    // Folder order in the collection, time order along the chain.
    EXPECT_EQ(titlesOf(video->colSubExpressions()), QStringList({"S2", "S1"}));
    const auto s1 = video->colSubExpressions().Item(2);
    EXPECT_EQ(s1->objFollowedBy(), video->colSubExpressions().Item(1));
    EXPECT_EQ(video->colSubExpressions().Item(1)->objFollowedBy(), nullptr);
    EXPECT_EQ(titlesOf(s1->colSubExpressions()), QStringList({"S1a"}));
    EXPECT_EQ(s1->colSubExpressions().Item(1)->objMainExpr(), s1);
    EXPECT_EQ(s1->colSubExpressions().Item(1)->verVersion(), v1);
    EXPECT_EQ(s1->objMainExpr(), video);
    EXPECT_EQ(video->strGetMediaObjectPath(), path("Film_files/clip.mpg"));

    // The editor's transcript: an Audio asks the Version; a Transcript is its own.
    const auto audio = v1->auMainAudio();
    EXPECT_FALSE(audio->bHasTranscript());
    audio->OpenTranscript();
    EXPECT_EQ(audio->objTranscript(), v1->trMainTranscript());
    const auto transcript = std::dynamic_pointer_cast<Transcript>(v1->trMainTranscript());
    EXPECT_EQ(transcript->objTranscript(), transcript);
    ASSERT_NE(transcript->WordList(), nullptr);
    EXPECT_EQ(transcript->WordList()->Item(1)->strTxt, "Hello");

    // The subtree lists segments before their expression, expressions before the Version.
    const auto subTree = v1->colSelSubTree();
    ASSERT_TRUE(subTree);
    QStringList titles;
    for (const auto& obj : *subTree)
        titles << obj->strTitle();
    EXPECT_EQ(titles, QStringList({path("Film_files/clip.mpg"), "/media/film2.mpg", "DVD", "S2", "S1a", "S1", "Main video",
                                   "Main audio", "Main transcript", "First cut"}));

    // Removing a main expression clears the Version's reference to it.
    EXPECT_EQ(audio->strRemoveAllChilds(), "");
    std::shared_ptr<RegistryItem> item = audio;
    doc->RemoveObject(item);
    EXPECT_EQ(v1->auMainAudio(), nullptr);
}

TEST_F(ScanTest, ObjectFilesClimbToTheirDocument)
{
    writeExpressions();
    EXPECT_EQ(climb("Film_files/Film_storage1.xml"), path("Film.xml"));
    EXPECT_EQ(climb("Film_files/Film_video7.xml"), path("Film.xml")); // S1a, S1, main video, Version
    EXPECT_EQ(climb("Film_files/Film_transcript1.xml"), path("Film.xml"));

    // An empty part-of climbs through the Version.
    writeExpr("Film_video8.xml", "Video", "Loose", "<partofvideo></partofvideo>" + versionOf("Film_version2.xml"));
    EXPECT_EQ(climb("Film_files/Film_video8.xml"), path("Film.xml"));

    // Segments naming each other as parts end the climb.
    writeExpr("Film_video8.xml", "Video", "Loop", tag("partofvideo", "Film_video9.xml"));
    writeExpr("Film_video9.xml", "Video", "Loop", tag("partofvideo", "Film_video8.xml"));
    EXPECT_EQ(climb("Film_files/Film_video8.xml"), "");

    // A part-of naming a document elsewhere ends the climb in this one's folder.
    QTemporaryDir elsewhere;
    writeFile(elsewhere.filePath("Other.xml"), "<AVDocument/>");
    writeExpr("Film_video8.xml", "Video", "Stray", "<partofvideo>" + elsewhere.filePath("Other.xml") + "</partofvideo>");
    EXPECT_EQ(climb("Film_files/Film_video8.xml"), "");
    EXPECT_EQ(prompts.messages(), QStringList{elsewhere.filePath("Other.xml") + " " + text(msg::OutsideDocumentFolder)});
    prompts.calls.clear();

    // Two documents naming one Version: neither is its document.
    write("Copy.xml", read("Film.xml"));
    EXPECT_EQ(climb("Film_files/Film_video7.xml"), "");
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(ScanTest, SelfContradictingChainsLoadAndEnd)
{
    writeExpressions();
    // S2 names S1 back (a cycle); S3 names S1 too (a second predecessor);
    // S4 names a file that is no sibling.
    writeExpr("Film_video5.xml", "Video", "S2",
              tag("partofvideo", "Film_video2.xml") + tag("followedbyvideo", "Film_video6.xml"), 20, 30);
    writeExpr("Film_video8.xml", "Video", "S3",
              tag("partofvideo", "Film_video2.xml") + tag("followedbyvideo", "Film_video6.xml"), 40, 50);
    writeExpr("Film_video9.xml", "Video", "S4",
              tag("partofvideo", "Film_video2.xml") + tag("followedbyvideo", "Film_video7.xml"));
    const auto doc = open("Film.xml");

    const auto video = at<Version>(*doc, 2)->vdMainVideo();
    const auto& segs = video->colSubExpressions();
    ASSERT_EQ(titlesOf(segs), QStringList({"S2", "S1", "S3", "S4"}));
    // S1 follows S2 (first in the folder); S2 may not then follow S1, nor S1 follow S3.
    EXPECT_EQ(segs.Item(1)->objFollowedBy(), segs.Item(2));
    EXPECT_EQ(segs.Item(2)->objFollowedBy(), nullptr);
    EXPECT_EQ(segs.Item(3)->objFollowedBy(), nullptr);
    EXPECT_EQ(segs.Item(4)->objFollowedBy(), nullptr);
    // A segment without a span opens; a new segment treats it as no neighbour.
    EXPECT_EQ(segs.Item(4)->ckGetChunk(), nullptr);
    video->AddSubExpression("S5", 60, 70);
    EXPECT_EQ(segs.Item(5)->objFollowedBy(), nullptr);
    EXPECT_EQ(segs.Item(3)->objFollowedBy(), segs.Item(5));
    EXPECT_TRUE(prompts.calls.empty());

    // Part-of links in a circle: the subtree and its removal end.
    writeExpr("Film_video7.xml", "Video", "S1a", tag("partofvideo", "Film_video6.xml") + versionOf("Film_version1.xml"));
    writeExpr("Film_video6.xml", "Video", "S1", tag("partofvideo", "Film_video7.xml"), 0, 10);
    const auto looped = open("Film.xml");
    const auto v1 = at<Version>(*looped, 2);
    ASSERT_TRUE(v1->colSelSubTree());
    EXPECT_EQ(v1->strRemoveAllChilds(), "");

    // A main expression naming another Version's main expression as its whole
    // keeps its one place: the document's subtree holds each object once.
    writeExpressions();
    writeExpr("Film_video2.xml", "Video", "Main video", versionOf("Film_version1.xml") + tag("partofvideo", "Film_video3.xml"), 0, 90);
    const auto crossed = open("Film.xml");
    EXPECT_EQ(std::dynamic_pointer_cast<Expression>(crossed->objAlreadyLoaded(path("Film_files/Film_video3.xml")))->colSubExpressions().Count(), 0);
    const auto subTree = crossed->colSelSubTree();
    EXPECT_EQ(std::set(subTree->begin(), subTree->end()).size(), subTree->size());
}

// Enough object files for the scan to read them on several threads, which
// also build their fields: every segment opens as written, in folder order.
TEST_F(ScanTest, SegmentsReadSideBySideOpenAsWritten)
{
    writeExpressions();
    constexpr int kSegments = 300;
    for (int i = 0; i < kSegments; ++i)
        writeExpr(QString("Film_video%1.xml").arg(100 + i), "Video", QString("P%1").arg(i),
                  tag("partofvideo", "Film_video3.xml"), i, i + 0.5);
    const auto doc = open("Film.xml");
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_EQ(doc->collObjects().Count(), 19 + 2 * kSegments);
    const auto segments = at<Version>(*doc, 18)->vdMainVideo()->colSubExpressions();
    ASSERT_EQ(segments.Count(), kSegments);
    for (int i = 0; i < kSegments; ++i) {
        const auto& segment = segments.Item(i + 1);
        EXPECT_EQ(segment->strTitle(), QString("P%1").arg(i));
        ASSERT_NE(segment->ckGetChunk(), nullptr);
        EXPECT_EQ(segment->ckGetChunk()->dStart, i);
        EXPECT_EQ(segment->ckGetChunk()->dend, i + 0.5);
    }
}

TEST_F(ScanTest, RelationsSpelledOtherwiseFindTheirObjects)
{
    // A part-of value with a "." part, one relative to the current folder and
    // one with a doubled slash name the same main video: the scan key made
    // where the file was read and the one made at the open agree.
    writeExpressions();
    const QString main = path("Film_files/Film_video3.xml");
    const QString current = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir));
    writeExpr("Film_video20.xml", "Video", "Dotted", "<partofvideo>" + path("Film_files/./Film_video3.xml") + "</partofvideo>", 0, 1);
    writeExpr("Film_video21.xml", "Video", "Relative", "<partofvideo>Film_files/Film_video3.xml</partofvideo>", 1, 2);
    writeExpr("Film_video22.xml", "Video", "Plain", "<partofvideo>" + main + "</partofvideo>", 2, 3);
    writeExpr("Film_video23.xml", "Video", "Doubled", "<partofvideo>" + QString(main).replace("/Film_files/", "//Film_files/") + "</partofvideo>", 3, 4);
    const auto doc = open("Film.xml");
    QDir::setCurrent(current);
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_EQ(titlesOf(at<Version>(*doc, 18)->vdMainVideo()->colSubExpressions()),
              QStringList({"Dotted", "Relative", "Plain", "Doubled"}));
}

TEST_F(ScanTest, MalformedFileIsReportedOnceForAWholeOpen)
{
    writeExpressions();
    write("Film_files/Film_broken.xml", "<Video><Title>cut off");
    write("Film_files/Film_empty.xml", "");
    const auto doc = open("Film.xml");
    // Every scan of the open meets the files; each is named once, with its reason.
    ASSERT_EQ(prompts.calls.size(), 2u);
    for (const auto& [call, name] : {std::pair{prompts.calls[0], "Film_broken.xml"}, {prompts.calls[1], "Film_empty.xml"}}) {
        EXPECT_TRUE(call.text.startsWith("XML Parser: " + path("Film_files/") + name + ": ")) << call.text.toStdString();
        EXPECT_EQ(call.icon, Prompts::Exclamation);
    }
    EXPECT_EQ(doc->collObjects().Count(), 19);
}

TEST_F(ScanTest, StoragesWithOneLocationAllOpenAgain)
{
    const auto doc = newDocument("Film.xml");
    doc->AddChild("Cut");
    const auto ver = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1));
    ver->AddChild("DVD");
    const auto media = std::dynamic_pointer_cast<Media>(ver->colChilds().Item(1));
    for (const char* location : {"/media/a.mpg", "/MEDIA/A.MPG", "/media/a.mpg"})
        media->AddChild(location);
    ASSERT_TRUE(doc->bSave());

    const auto reopened = open("Film.xml");
    EXPECT_EQ(classesOf(*reopened), QStringList({"AVDocument", "Version", "Media", "Storage", "MediaObject", "Storage",
                                                 "MediaObject", "Storage", "MediaObject"}));
    EXPECT_EQ(at<Media>(*reopened, 3)->colChilds().Count(), 3);
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(ScanTest, MediaFilesStandInTheirOwnersFields)
{
    writeFixture();
    write("Film_files/Film_storage2.xml", kHead + "<Storage><StorageGUID/></Storage>"); // no location
    const auto doc = open("Film.xml");
    const auto v1 = at<Version>(*doc, 2);
    const auto s1 = at<Storage>(*doc, 4);
    const auto s2 = at<Storage>(*doc, 6);
    const auto m1 = at<MediaObject>(*doc, 5);
    const auto m2 = at<MediaObject>(*doc, 7);
    EXPECT_EQ(m1->objOwner(), s1);
    EXPECT_EQ(m1->strTypeOfObject(), "mpg");
    EXPECT_EQ(s2->strGetCollocation(), "");
    EXPECT_EQ(m2->strTitle(), "");
    EXPECT_EQ(m2->strTypeOfObject(), "");
    m2->setStrGUID("/media/x.mpg"); // no assigned field: nothing to write
    EXPECT_FALSE(s2->bChanged());

    m1->setStrGUID("/media/film.mpg");
    EXPECT_FALSE(s1->bChanged());
    m1->setStrGUID("/media/moved.mpg");
    EXPECT_EQ(s1->strGetCollocation(), "/media/moved.mpg");
    EXPECT_TRUE(s1->firstNamed("Collocation")->bChanged);
    EXPECT_FALSE(m1->bChanged());

    // The media file the expressions play: the first location given, or the
    // selected Storage's even when it has none.
    EXPECT_EQ(v1->strGetMediaObjectPath(), "/media/moved.mpg");
    s2->setBIsSelected(true);
    EXPECT_EQ(v1->strGetMediaObjectPath(), "");

    // A changed media file is met by the save passes under its path.
    m1->setBChanged(true);
    ui.status.clear();
    EXPECT_TRUE(doc->bSaveAs(path("Copy.xml")));
    // Its Storage, then the media file.
    EXPECT_EQ(ui.status.filter("(/media/moved.mpg)").size(), 2) << ui.status.join('\n').toStdString();
    EXPECT_FALSE(m1->bChanged());
    EXPECT_TRUE(m1->bSave());
}

TEST_F(ScanTest, SaveAsRenamesEveryRelationOfTheExpressions)
{
    writeExpressions();
    writeExpr("Film_audio1.xml", "Audio", "Main audio",
              versionOf("Film_version1.xml") + tag("hasaudiotranscript", "Film_transcript1.xml"), 0, 90);
    const auto doc = open("Film.xml");
    const auto video = at<Version>(*doc, 2)->vdMainVideo();
    EXPECT_TRUE(video->colSubExpressions().Item(1)->bCheckIfSubExpression("Video", video->strGUID()));
    EXPECT_FALSE(video->colSubExpressions().Item(1)->bCheckIfSubExpression("video", video->strGUID()));
    EXPECT_EQ(video->strGetPartOf(), "");
    // A single rename is a batch of one.
    const auto s1 = video->colSubExpressions().Item(1);
    s1->RenameAllRelativesGUID(video->strGUID(), video->strGUID() + "x");
    EXPECT_EQ(s1->strGetPartOf(), video->strGUID() + "x");
    s1->RenameAllRelativesGUID(video->strGUID() + "x", video->strGUID());
    ASSERT_TRUE(doc->bSaveAs(path("Copy.xml")));
    doc->release();

    const auto copy = open("Copy.xml");
    EXPECT_EQ(classesOf(*copy).size(), 19);
    const auto copyVideo = at<Version>(*copy, 2)->vdMainVideo();
    ASSERT_NE(copyVideo, nullptr);
    EXPECT_TRUE(copyVideo->strGUID().startsWith(path("Copy_files/")));
    EXPECT_EQ(titlesOf(copyVideo->colSubExpressions()).size(), 2);
    const auto head = segmentsHead(*copyVideo);
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->strTitle(), "S1");
    EXPECT_EQ(head->objFollowedBy()->strTitle(), "S2");
    EXPECT_EQ(head->colSubExpressions().Count(), 1);
    // The audio's transcript field is left as it was.
    EXPECT_EQ(at<Version>(*copy, 2)->auMainAudio()->strNamedField("hasaudiotranscript"),
              path("Film_files/Film_transcript1.xml"));
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(ScanTest, SampleDocumentOpensWithItsExpressions)
{
    write("vimra.conf", "[Vimra]\nXSDPath=" VIMRA_RESOURCES "/vimra.xsd\n");
    ASSERT_EQ(QProcess::execute("bash", {VIMRA_RESOURCES "/../scripts/make-sample.sh", path("sample")}), 0);
    QString error;
    const auto doc = open("sample/Sample.xml", &error);
    ASSERT_EQ(error, "");
    EXPECT_TRUE(prompts.calls.empty());
    EXPECT_EQ(classesOf(*doc), QStringList({"AVDocument", "Version", "Media", "Storage", "MediaObject", "Audio",
                                            "Transcript", "Video", "Video", "MediaObject", "Video", "MediaObject",
                                            "Video", "MediaObject"}));
    const auto ver = at<Version>(*doc, 2);
    ASSERT_NE(ver->auMainAudio(), nullptr);
    ASSERT_NE(ver->trMainTranscript(), nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<Transcript>(ver->trMainTranscript())->WordList()->Count(), 3);
    const auto video = ver->vdMainVideo();
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(titlesOf(video->colSubExpressions()), QStringList({"Boats leave", "First light", "Gulls"}));
    QStringList chain;
    for (auto s = segmentsHead(*video); s && chain.size() < 4; s = s->objFollowedBy())
        chain << s->strTitle();
    EXPECT_EQ(chain, QStringList({"First light", "Boats leave", "Gulls"}));
    EXPECT_EQ(video->strGetMediaObjectPath(), path("sample/sample-clip.mpg"));
}

TEST_F(ScanTest, ExpressionThatCannotBeOpenedIsReportedAndLeftOut)
{
    writeExpressions();
    editSchema("name=\"Audio\"", "name=\"Sound\"");
    const auto doc = open("Film.xml");
    ASSERT_EQ(prompts.calls.size(), 1u);
    EXPECT_EQ(prompts.calls[0].text, "Error loading the schema: The schema does not provide any definition of the type: Audio");
    EXPECT_EQ(prompts.calls[0].icon, Prompts::Exclamation);
    EXPECT_EQ(at<Version>(*doc, 2)->auMainAudio(), nullptr);
    EXPECT_FALSE(classesOf(*doc).contains("Audio"));
    EXPECT_EQ(at<Version>(*doc, 2)->vdMainVideo()->strTitle(), "Main video");
}
