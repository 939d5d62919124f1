#include "DocumentShellSupport.h"

#include "document/Expression.h"
#include "document/Version.h"
#include "records/IOManager.h"
#include "records/Procedures.h"
#include "resources/MessageIds.h"
#include "shell/StructureCommands.h"

#include "support/TestMedia.h"

using namespace vimra;
using namespace vimra::test;

TEST(StorageLength, OneSecondIsTheLimitAndZeroIsNoMedia)
{
    const struct {
        std::optional<double> version;
        double length;
        StorageLength expected;
    } rows[] = {{0.0, 3.0, StorageLength::TakeDuration}, {3.0, 3.9, StorageLength::Fits},
                {3.0, 2.1, StorageLength::Fits},         {3.0, 4.0, StorageLength::Fits},
                {3.0, 4.5, StorageLength::Differs},      {3.0, 1.5, StorageLength::Differs},
                {3.0, 0.0, StorageLength::NotValid},     {std::nullopt, 2.0, StorageLength::Fits}};
    for (const auto& r : rows)
        EXPECT_EQ(checkStorageLength(r.version, r.length), r.expected) << r.length;
}

namespace {

class StructureCommandsTest : public DocumentShellTest {
protected:
    void SetUp() override
    {
        DocumentShellTest::SetUp();
        structure = new StructureCommands(*w);
        writeFilm();
        open("Film.xml");
        doc = appState().objAVDoc;
        ver = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1));
        media = std::dynamic_pointer_cast<ParentObject>(ver->colChilds().Item(1));
    }
    void select(DocumentUi::Tree tree, const std::shared_ptr<DocObject>& obj)
    {
        QTreeWidget* widget = w->treeWidget(tree);
        widget->clearSelection();
        frmMain::FindNodeByTag(widget, obj)->setSelected(true);
    }
    // Appends the file under the Version's Media; answers the Storages added.
    int appendStorage(const QString& file)
    {
        select(DocumentUi::Tree::tvwMainTree, media);
        const int before = media->colChilds().Count();
        boxes.texts.push_back(file);
        structure->mnuAddChild_Click();
        return media->colChilds().Count() - before;
    }
    StructureCommands* structure = nullptr;
    std::shared_ptr<AVDocument> doc;
    std::shared_ptr<Version> ver;
    std::shared_ptr<ParentObject> media;
};

} // namespace

TEST_F(StructureCommandsTest, AStoragesLengthIsCheckedAgainstItsVersion)
{
    const QString clip = path("clip.avi");
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc=duration=3:size=64x48:rate=25", "-c:v", "mpeg4", clip}));
    const double length = dMediaDuration(clip);
    ASSERT_GT(length, 2.5);

    // A failing AddChild (no schema to make the Storage from) leaves the Version alone.
    QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat).setValue("Vimra/XSDPath", path("none.xsd"));
    EXPECT_EQ(appendStorage(clip), 0);
    EXPECT_EQ(ver->dDuration(), 0.0);
    QSettings(m_dir.filePath("vimra.conf"), QSettings::IniFormat)
        .setValue("Vimra/XSDPath", QStringLiteral(VIMRA_RESOURCES "/vimra.xsd"));

    boxes.calls.clear();
    EXPECT_EQ(appendStorage(clip), 1);
    EXPECT_NEAR(ver->dDuration(), length, 0.001);
    for (const double offset : {0.9, -0.9, 1.5, -1.5}) {
        ver->setDDuration(length + offset);
        EXPECT_EQ(appendStorage(clip), std::fabs(offset) < 1 ? 1 : 0) << offset;
    }
    write("notes.avi", "plain words");
    EXPECT_EQ(appendStorage(path("notes.avi")), 0);
    EXPECT_EQ(boxes.messages(), QStringList({text(msg::DurationDiffers), text(msg::DurationDiffers),
                                             text(msg::FormatNotValid)}));

    // A Media is not measured.
    ver->setDDuration(1.0);
    select(DocumentUi::Tree::tvwMainTree, ver);
    boxes.texts.push_back("VHS");
    structure->mnuAddChild_Click();
    EXPECT_EQ(ver->colChilds().Count(), 2);
    EXPECT_EQ(ver->dDuration(), 1.0);
}

TEST_F(StructureCommandsTest, AppendAsksByNodeKindAndOpensTheParentsBranch)
{
    // The expression tree's node never counts.
    w->BuildExpressionTree(ver);
    select(DocumentUi::Tree::tvwExpression, ver);
    select(DocumentUi::Tree::tvwMainTree, doc);
    structure->mnuAddChild_Click(); // cancelled: nothing
    boxes.texts.push_back("Third cut");
    structure->mnuAddChild_Click();
    EXPECT_EQ(doc->colChilds().Count(), 3);

    select(DocumentUi::Tree::tvwMainTree, ver);
    structure->mnuAddChild_Click();
    select(DocumentUi::Tree::tvwMainTree, media->colChilds().Item(1));
    structure->mnuAddChild_Click();
    select(DocumentUi::Tree::tvwMainTree, media);
    QDir::setCurrent(QDir::tempPath());
    boxes.texts.push_back(path("missing.avi"));
    structure->mnuAddChild_Click();
    EXPECT_EQ(QDir::current(), QDir(m_dir.path()));
    doc->io()->setBFileSystem(false);
    structure->mnuAddChild_Click();
    doc->io()->setBFileSystem(true);

    QStringList asked;
    for (const auto& c : boxes.calls)
        asked << c.kind + "|" + c.title + "|" + c.text;
    const QString version = "input|" + text(msg::VersionTitle) + "|" + text(msg::NewVersionTitlePrompt);
    EXPECT_EQ(asked, QStringList({version, version,
                                  "input|" + text(msg::MediaFormat) + "|" + text(msg::NewMediaFormatPrompt), "beep||",
                                  "open|" + text(msg::StorageCollocationPrompt)
                                      + "|Video Files (*.avi *.mpeg *.mpg *.asf *.AVI *.MPEG *.MPG *.ASF)"}));
    EXPECT_EQ(media->colChilds().Count(), 2);

    // Whatever was open before, the new node's parent shows from the root down.
    w->tvwMainTree->collapseAll();
    select(DocumentUi::Tree::tvwMainTree, ver);
    boxes.texts.push_back("VHS");
    structure->mnuAddChild_Click();
    const QTreeWidgetItem* node = frmMain::FindNodeByTag(w->tvwMainTree, ver);
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(node->isExpanded() && node->parent()->isExpanded());
    EXPECT_FALSE(frmMain::FindNodeByTag(w->tvwMainTree, media)->isExpanded());
}

TEST_F(StructureCommandsTest, MainExpressionsTakeTheStoragesLength)
{
    const auto second = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(2));
    w->BuildExpressionTree(second);
    select(DocumentUi::Tree::tvwExpression, second);
    structure->mnuAddMainVideo_Click();
    EXPECT_EQ(boxes.messages(), QStringList{text(msg::CreateStorageFirst)});

    // The Storages' file is no media: the expression is added all the same, ending at 0.
    w->BuildExpressionTree(ver);
    select(DocumentUi::Tree::tvwExpression, ver);
    ver->setDDuration(5);
    boxes.calls.clear();
    boxes.texts = {"Sound"};
    structure->mnuAddMainAudio_Click();
    ASSERT_NE(ver->auMainAudio(), nullptr);
    EXPECT_EQ(ver->auMainAudio()->strTitle(), "Sound");
    EXPECT_EQ(ver->auMainAudio()->ckGetChunk()->dend, 0.0);
    EXPECT_EQ(ver->dDuration(), 0.0);

    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "testsrc=duration=2:size=64x48:rate=25", "-c:v", "mpeg1video", "-f",
                        "mpeg", path("Film_files/clip.mpg")}));
    const double length = dMediaDuration(path("Film_files/clip.mpg"));
    ASSERT_GT(length, 1.5);
    select(DocumentUi::Tree::tvwExpression, ver);
    boxes.texts = {"Pictures", "", "Words"};
    structure->mnuAddMainVideo_Click();
    select(DocumentUi::Tree::tvwExpression, ver);
    structure->mnuAddMainTranscript_Click(); // no name: nothing
    select(DocumentUi::Tree::tvwExpression, ver);
    structure->mnuAddMainTranscript_Click();
    ASSERT_NE(ver->vdMainVideo(), nullptr);
    EXPECT_NEAR(ver->vdMainVideo()->ckGetChunk()->dend, length, 0.001);
    EXPECT_NEAR(ver->dDuration(), length, 0.001);
    ASSERT_NE(ver->trMainTranscript(), nullptr);
    EXPECT_EQ(ver->trMainTranscript()->strTitle(), "Words");
    QStringList asked;
    for (const auto& c : boxes.calls)
        asked << c.text + "|" + c.title;
    const auto ask = [](int prompt) { return text(prompt) + "|" + text(prompt + 1); };
    EXPECT_EQ(asked, QStringList({ask(msg::MainAudioNamePrompt), ask(msg::MainVideoNamePrompt),
                                  ask(msg::MainTranscriptNamePrompt), ask(msg::MainTranscriptNamePrompt)}));
    EXPECT_EQ(frmMain::objectOf(w->tvwExpression->topLevelItem(0)), ver);
    EXPECT_NE(frmMain::FindNodeByTag(w->tvwExpression, ver->trMainTranscript()), nullptr);
}
