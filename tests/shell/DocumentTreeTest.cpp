#include "DocumentShellSupport.h"

#include "document/Storage.h"
#include "document/Version.h"
#include "document/Video.h"
#include "shell/StructureCommands.h"
#include "support/FakeMediaDetector.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QMouseEvent>
#include <QTreeWidgetItemIterator>

using namespace vimra;
using namespace vimra::test;

namespace {

class DocumentTreeTest : public DocumentShellTest {
protected:
    void SetUp() override
    {
        DocumentShellTest::SetUp();
        writeFilm();
        open("Film.xml");
        w->show();
    }

    QTreeWidgetItem* root() const { return w->tvwMainTree->topLevelItem(0); }
    QTreeWidgetItem* version() const { return root()->child(0); }
    QTreeWidgetItem* media() const { return version()->child(0); }
    QTreeWidgetItem* storage() const { return media()->child(0); }

    static void key(QTreeWidget* tree, int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, code, modifiers);
        QApplication::sendEvent(tree, &press);
        QKeyEvent release(QEvent::KeyRelease, code, modifiers);
        QApplication::sendEvent(tree, &release);
    }
    QString enabling() const
    {
        QString out;
        for (const QAction* a : {w->mnuAddChild, w->mnuAddMainExpr->menuAction(), w->mnuAddMainVideo,
                                 w->mnuAddMainAudio, w->mnuAddMainTranscript, w->mnuEditMetadata})
            out += a->isEnabled() ? '1' : '0';
        return out;
    }
};

// The first Version has a main Video whose segment files stand against
// time order (S2, then S1 before it in time and in the chain; S2's stored
// picture is missing), a main Audio with one segment and a main Transcript.
class ExpressionTreeTest : public DocumentTreeTest {
protected:
    void SetUp() override
    {
        DocumentShellTest::SetUp();
        writeFilm();
        const QString files = path("Film_files/");
        const auto expr = [&](const QString& name, const QString& cls, const QString& title, const QString& more) {
            write("Film_files/" + name, ("<" + cls + "><" + cls + "GUID>" + files + name + "</" + cls + "GUID><Title>"
                                         + title + "</Title>" + more + "</" + cls + ">").toUtf8());
        };
        const QString version = "<VersionGUID>" + files + "v1.xml</VersionGUID><Time start=\"0\" end=\"60000\" reasons=\"0\"/>";
        expr("Film_video1.xml", "Video", "Main video", version);
        expr("Film_video2.xml", "Video", "S2",
             "<Time start=\"20000\" end=\"30000\" reasons=\"0\"/><partofvideo>" + files + "Film_video1.xml</partofvideo>"
                 + "<Keyframe start=\"25000\" end=\"0\" reasons=\"0\">" + files + "gone.bmp</Keyframe>");
        expr("Film_video3.xml", "Video", "S1",
             "<Time start=\"0\" end=\"10000\" reasons=\"0\"/><partofvideo>" + files + "Film_video1.xml</partofvideo>"
                 + "<followedbyvideo>" + files + "Film_video2.xml</followedbyvideo>");
        expr("Film_audio1.xml", "Audio", "Main audio", version);
        expr("Film_audio2.xml", "Audio", "A1",
             "<Time start=\"0\" end=\"5000\" reasons=\"0\"/><partofaudio>" + files + "Film_audio1.xml</partofaudio>");
        expr("Film_transcript1.xml", "Transcript", "Main transcript", version);
        open("Film.xml");
        w->show();
        click(w->tvwMainTree, this->version(), Qt::LeftButton);
    }
    QString s1() const { return path("Film_files/Film_video3.xml"); }
    QString s2() const { return path("Film_files/Film_video2.xml"); }
    std::shared_ptr<Video> video(const QString& guid) const
    {
        for (const auto& obj : appState().objAVDoc->collObjects())
            if (obj->strGUID() == guid)
                return std::dynamic_pointer_cast<Video>(obj);
        return nullptr;
    }
    QStringList keyframeKeys() const
    {
        QStringList out;
        for (const auto& p : w->imlTreeIcons.pictures())
            if (p.strTag == "keyframe" && p.pixmap.size() == QSize(32, 32))
                out << p.strKey;
        return out;
    }

    FakeMediaDetector detector;
};

} // namespace

TEST_F(ExpressionTreeTest, ShowsTheMainExpressionsAndTheirSegmentsInTimeOrderWithKeyframeIcons)
{
    const QString a1 = "    A1 [Audio/Audio]";
    EXPECT_EQ(shape(w->tvwExpression),
              QStringList({"First cut [Version/Version]", "  Main video [Video/Video]",
                           "    S1 [" + s1() + "/" + s1() + "]", "    S2 [" + s2() + "/" + s2() + "]",
                           "  Main audio [Audio/Audio]", a1, "  Main transcript [Transcript/Transcript]"}));
    // Made as the tree shows the segments, not for the whole document at open.
    EXPECT_EQ(keyframeKeys(), QStringList({s1(), s2()}));

    // A red one-pixel border; inside, the picture at 5 s, or the "Video"
    // picture when the stored one is missing.
    const QImage grabbed = w->imlTreeIcons.Item(s1()).toImage();
    const QImage missing = w->imlTreeIcons.Item(s2()).toImage();
    QImage plain(32, 32, QImage::Format_RGB32); // the "Video" picture on white
    plain.fill(Qt::white);
    QPainter(&plain).drawPixmap(0, 0, treePicture("Video"));
    for (int i = 0; i < 32; ++i)
        for (const QPoint p : {QPoint(i, 0), QPoint(0, i), QPoint(i, 31), QPoint(31, i)}) {
            ASSERT_EQ(grabbed.pixel(p), qRgb(255, 0, 0));
            ASSERT_EQ(missing.pixel(p), qRgb(255, 0, 0));
        }
    for (int y = 1; y < 31; ++y)
        for (int x = 1; x < 31; ++x) {
            ASSERT_EQ(grabbed.pixel(x, y), FakeMediaDetector::colourOf(5)) << x << "," << y;
            ASSERT_EQ(missing.pixel(x, y), plain.pixel(x, y)) << x << "," << y;
        }

    // An icon asked for again replaces the old; one gone is made when its node is.
    w->AddSmallKeyFrame(video(s1()));
    EXPECT_EQ(w->imlTreeIcons.Count(), 17);
    w->RemoveIcon(s1());
    w->BuildExpressionTree(std::dynamic_pointer_cast<Version>(frmMain::objectOf(version())));
    EXPECT_EQ(keyframeKeys(), QStringList({s2(), s1()}));

    w->ResetListImageExpression();
    QStringList keys;
    for (const auto& p : w->imlTreeIcons.pictures())
        keys << p.strKey;
    EXPECT_EQ(keys, QStringList(treePictureKeys().begin(), treePictureKeys().end()));
    // Only the icons made so far are made again.
    w->AddSmallKeyFrame(video(s2()));
    w->UpdateSmallKeyFrames();
    EXPECT_EQ(keyframeKeys(), QStringList({s2()}));
    // In registration order; made again only from another picture.
    w->AddSmallKeyFrame(video(s1()));
    w->UpdateSmallKeyFrames();
    EXPECT_EQ(keyframeKeys(), QStringList({s2(), s1()}));
    const qint64 kept = w->imlTreeIcons.Item(s1()).cacheKey();
    w->UpdateSmallKeyFrames();
    EXPECT_EQ(w->imlTreeIcons.Item(s1()).cacheKey(), kept);
    video(s1())->CreateKeyFrameIcons(); // its pictures are read again
    w->UpdateSmallKeyFrames();
    EXPECT_NE(w->imlTreeIcons.Item(s1()).cacheKey(), kept);
    EXPECT_EQ(keyframeKeys(), QStringList({s2(), s1()}));
    // An object registered twice: every registered object is asked, as before.
    appState().objAVDoc->collObjects().Add(video(s1()));
    w->UpdateSmallKeyFrames();
    EXPECT_EQ(keyframeKeys(), QStringList({s2(), s1()}));
    w->RemoveIcon(s1());

    // A chain that loops back on itself still ends, each segment shown once.
    const auto ver = std::dynamic_pointer_cast<Version>(frmMain::objectOf(version()));
    video(s2())->setObjFollowedBy(video(s2()));
    w->BuildExpressionTree(ver);
    EXPECT_EQ(w->tvwExpression->topLevelItem(0)->child(0)->childCount(), 2);
    video(s2())->setObjFollowedBy(nullptr);
    w->BuildExpressionTree(ver);

    // Delete of a segment: its icon goes and the same Version shows again.
    QTreeWidgetItem* s1Node = w->tvwExpression->topLevelItem(0)->child(0)->child(0);
    click(w->tvwExpression, s1Node, Qt::LeftButton);
    key(w->tvwExpression, Qt::Key_Delete);
    EXPECT_EQ(keyframeKeys(), QStringList({s2()}));
    EXPECT_EQ(shape(w->tvwExpression),
              QStringList({"First cut [Version/Version]", "  Main video [Video/Video]", "    S2 [" + s2() + "/" + s2() + "]",
                           "  Main audio [Audio/Audio]", a1, "  Main transcript [Transcript/Transcript]"}));
}

TEST_F(ExpressionTreeTest, AddMainEntriesOnlyForTheMissingMainExpressions)
{
    click(w->tvwMainTree, root()->child(1), Qt::LeftButton); // "Second cut", no main expressions
    const auto ver = std::dynamic_pointer_cast<Version>(frmMain::objectOf(root()->child(1)));
    // Add child, Add main, its Video, Audio and Transcript entries.
    const struct {
        const char* add;
        QString expected;
    } rows[] = {{"", "01111"}, {"Video", "01011"}, {"Transcript", "01010"}, {"Audio", "01000"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.add);
        if (*row.add)
            ver->AddMainExpression(row.add, row.add, 0, 10);
        click(w->tvwExpression, w->tvwExpression->topLevelItem(0), Qt::RightButton);
        EXPECT_EQ(enabling().left(5), row.expected);
    }
    // The document tree's Version row is another rule.
    click(w->tvwMainTree, root()->child(1), Qt::RightButton);
    EXPECT_EQ(enabling().left(2), "10");

    // A delete and an add recompute the entries at once (a disabled entry
    // triggers nothing). "First cut" has all three.
    new StructureCommands(*w);
    click(w->tvwMainTree, version(), Qt::LeftButton);
    click(w->tvwExpression, w->tvwExpression->topLevelItem(0), Qt::RightButton);
    EXPECT_EQ(enabling().mid(2, 3), "000");
    click(w->tvwExpression, w->tvwExpression->topLevelItem(0)->child(1), Qt::LeftButton); // Main audio
    key(w->tvwExpression, Qt::Key_Delete);
    EXPECT_EQ(enabling().mid(2, 3), "010");
    click(w->tvwExpression, w->tvwExpression->topLevelItem(0), Qt::LeftButton);
    boxes.texts = {"Sound"};
    w->mnuAddMainAudio->trigger();
    EXPECT_EQ(enabling().mid(2, 3), "000");
}

TEST_F(DocumentTreeTest, ClicksBuildTheExpressionTreeAndEnableTheEditMenu)
{
    EXPECT_EQ(enabling(), "111111");
    click(w->tvwMainTree, root(), Qt::LeftButton);
    EXPECT_EQ(w->tvwExpression->topLevelItemCount(), 0);

    click(w->tvwMainTree, version(), Qt::LeftButton);
    ASSERT_EQ(w->tvwExpression->topLevelItemCount(), 1);
    const QTreeWidgetItem* exprRoot = w->tvwExpression->topLevelItem(0);
    EXPECT_EQ(exprRoot->text(0), "First cut");
    EXPECT_EQ(exprRoot->data(0, frmMain::kKeyRole).toString(), "Version");
    EXPECT_EQ(exprRoot->data(0, frmMain::kPictureRole).toString(), "Version");
    EXPECT_EQ(enabling(), "101111");
    EXPECT_TRUE(popups.isEmpty());

    // A left click marks exactly that Storage; the document and a Media
    // change neither the mark nor the expression tree.
    const auto marks = [this] {
        QString out;
        for (int i = 0; i < media()->childCount(); ++i)
            out += std::dynamic_pointer_cast<Storage>(frmMain::objectOf(media()->child(i)))->bIsSelected() ? '1' : '0';
        return out;
    };
    EXPECT_EQ(marks(), "00");
    click(w->tvwMainTree, media()->child(0), Qt::LeftButton);
    EXPECT_EQ(marks(), "10");
    click(w->tvwMainTree, media()->child(1), Qt::LeftButton);
    EXPECT_EQ(marks(), "01");
    click(w->tvwMainTree, root(), Qt::LeftButton);
    click(w->tvwMainTree, media(), Qt::LeftButton);
    EXPECT_EQ(marks(), "01");
    ASSERT_EQ(w->tvwExpression->topLevelItemCount(), 1);
    EXPECT_EQ(w->tvwExpression->topLevelItem(0)->text(0), "First cut");

    // A right press selects its node before the menu pops up.
    click(w->tvwMainTree, storage(), Qt::RightButton);
    EXPECT_EQ(popups, QStringList({"mnuEdit"}));
    EXPECT_EQ(w->tvwMainTree->selectedItems(), QList<QTreeWidgetItem*>({storage()}));
    EXPECT_EQ(enabling(), "001111");
    EXPECT_TRUE(w->bMainTreeContext);

    w->mnuAddMainVideo->setEnabled(false);
    click(w->tvwExpression, w->tvwExpression->topLevelItem(0), Qt::RightButton);
    EXPECT_EQ(popups.size(), 2);
    EXPECT_EQ(enabling(), "011111");
    EXPECT_FALSE(w->bMainTreeContext);

    click(w->tvwMainTree, media(), Qt::LeftButton);
    EXPECT_EQ(enabling(), "101111");

    // A keyboard move after a press beside every node pops nothing up.
    const QPoint below(5, w->tvwMainTree->viewport()->height() - 2);
    QMouseEvent press(QEvent::MouseButtonPress, below, w->tvwMainTree->viewport()->mapToGlobal(below),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(w->tvwMainTree->viewport(), &press);
    w->tvwMainTree->setCurrentItem(media());
    key(w->tvwMainTree, Qt::Key_Down);
    EXPECT_EQ(w->tvwMainTree->currentItem(), storage());
    EXPECT_EQ(popups.size(), 2);
    EXPECT_EQ(enabling(), "001111");

    // The arrow keys choose a Version as a click does.
    w->tvwExpression->clear();
    key(w->tvwMainTree, Qt::Key_Up);
    key(w->tvwMainTree, Qt::Key_Up);
    ASSERT_EQ(w->tvwMainTree->currentItem(), version());
    ASSERT_EQ(w->tvwExpression->topLevelItemCount(), 1);
    EXPECT_EQ(w->tvwExpression->topLevelItem(0)->text(0), "First cut");
}

TEST_F(DocumentTreeTest, DeletingAStorageRebuildsTheDocumentTreeAndEmptiesTheOther)
{
    click(w->tvwMainTree, root()->child(1), Qt::LeftButton); // shows "Second cut"
    ASSERT_EQ(w->tvwExpression->topLevelItemCount(), 1);

    w->tvwMainTree->setCurrentItem(root());
    key(w->tvwMainTree, Qt::Key_Delete);
    w->tvwMainTree->setCurrentItem(storage());
    key(w->tvwMainTree, Qt::Key_Delete, Qt::ShiftModifier);
    key(w->tvwMainTree, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(boxes.calls.empty());

    const QString title = storage()->text(0);
    boxes.answers = {Prompts::No};
    key(w->tvwMainTree, Qt::Key_Delete);
    ASSERT_EQ(boxes.messages(), QStringList({"Are you sure you want elminate the object " + title + " and all its childs?"}));
    EXPECT_EQ(boxes.calls[0].buttons, Prompts::YesNo);
    EXPECT_EQ(media()->childCount(), 2);

    boxes.answers = {Prompts::Yes};
    key(w->tvwMainTree, Qt::Key_Delete);
    EXPECT_EQ(media()->childCount(), 1);
    EXPECT_EQ(frmMain::objectOf(media()->child(0))->strGUID(), path("Film_files/s2.xml"));
    EXPECT_EQ(w->tvwExpression->topLevelItemCount(), 0);
    EXPECT_EQ(appState().objAVDoc->collObjects().Count(), 7); // the media-file objects stay
    EXPECT_TRUE(appState().objAVDoc->hasPendingRemovals());
    EXPECT_TRUE(QFile::exists(path("Film_files/s1.xml"))); // until the next save

    // Nothing selected: nothing asked.
    w->tvwMainTree->clearSelection();
    boxes.calls.clear();
    key(w->tvwMainTree, Qt::Key_Delete);
    EXPECT_TRUE(boxes.calls.empty());
}

TEST_F(DocumentTreeTest, NodeTitlesIconsAndEditMetadataFollowTheObjects)
{
    click(w->tvwMainTree, version(), Qt::LeftButton);
    const auto ver = frmMain::objectOf(version());
    ver->setStrTitle("Director's cut");
    w->UpdateNodeTitle(ver);
    EXPECT_EQ(version()->text(0), "Director's cut");
    ASSERT_EQ(w->tvwExpression->topLevelItemCount(), 1);
    EXPECT_EQ(w->tvwExpression->topLevelItem(0)->text(0), "Director's cut");

    // Each node of the document tree shows its pictures: the selected one
    // while it is selected (a Storage's differs from its other).
    for (QTreeWidgetItemIterator it(w->tvwMainTree); *it; ++it)
        for (const auto& [mode, role] : {std::pair(QIcon::Normal, frmMain::kPictureRole),
                                         std::pair(QIcon::Selected, frmMain::kSelPictureRole)})
            EXPECT_EQ((*it)->icon(0).pixmap(32, mode).toImage(),
                      w->imlTreeIcons.Item((*it)->data(0, role).toString()).toImage())
                << qPrintable((*it)->text(0)) << mode;

    ASSERT_EQ(w->imlTreeIcons.Count(), 15);
    w->imlTreeIcons.Add("/a/Film_files/video3.xml", QPixmap(32, 32), "keyframe");
    w->imlTreeIcons.Add("/a/Film_files/video4.xml", QPixmap(32, 32), "keyframe");
    w->RemoveIcon("/a/Film_files/VIDEO3.xml");
    EXPECT_EQ(w->imlTreeIcons.Count(), 17);
    w->RemoveIcon("/a/Film_files/video3.xml");
    EXPECT_FALSE(w->imlTreeIcons.Contains("/a/Film_files/video3.xml"));
    w->ResetListImageExpression();
    EXPECT_EQ(w->imlTreeIcons.Count(), 15);

    // Edit Metadata acts on the selected node of the tree last clicked.
    click(w->tvwMainTree, media(), Qt::LeftButton);
    w->mnuEditMetadata->trigger();
    w->mnuEditAttributes->trigger();
    EXPECT_EQ(editors.log, QStringList({"show DVD, tree 1", "dialog"}));

    // A failure inside the editor is shown, not fatal.
    editors.bThrowOnShow = true;
    w->mnuEditMetadata->trigger();
    EXPECT_EQ(boxes.messages(), QStringList({"collection index out of range"}));
    EXPECT_EQ(boxes.calls.back().icon, Prompts::Exclamation);
    EXPECT_NE(appState().objAVDoc, nullptr);
}

TEST_F(DocumentTreeTest, ReturnEditsAndTheMenuKeysOpenTheMenuOfTheFocusedTree)
{
    click(w->tvwMainTree, version(), Qt::LeftButton); // fills the expression tree
    QTreeWidgetItem* exprRoot = w->tvwExpression->topLevelItem(0);
    ASSERT_NE(exprRoot, nullptr);
    w->tvwExpression->setCurrentItem(exprRoot);

    // The key is the tree's, whichever tree was clicked last.
    w->tvwMainTree->setCurrentItem(media());
    key(w->tvwMainTree, Qt::Key_Return);
    key(w->tvwExpression, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(editors.log, QStringList({"show DVD, tree 1", "show First cut, tree 1"}));

    key(w->tvwMainTree, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(popups, QStringList({"mnuEdit"}));
    EXPECT_TRUE(w->bMainTreeContext);
    EXPECT_EQ(enabling(), "101111");

    // The Menu key reaches the focused tree as the platform's keyboard request.
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0), w->tvwExpression->mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(w->tvwExpression, &menuKey);
    EXPECT_EQ(popups.size(), 2);
    EXPECT_FALSE(w->bMainTreeContext);
    EXPECT_EQ(enabling(), "011111");
    EXPECT_TRUE(boxes.calls.empty());
}

// Segments added and removed are placed where a rebuild shows them, the
// other nodes kept; a tree that was not told of a change is built again.
TEST_F(ExpressionTreeTest, SegmentChangesArePlacedAsARebuildShowsThem)
{
    const auto ver = std::dynamic_pointer_cast<Version>(frmMain::objectOf(version()));
    const auto main = ver->vdMainVideo();
    const auto newest = [&] { return main->colSubExpressions().Item(main->colSubExpressions().Count()); };
    const auto rebuilt = [&](const char* step) {
        const QStringList placed = shape(w->tvwExpression);
        w->ResetTree(DocumentUi::Tree::tvwExpression, ver);
        EXPECT_EQ(placed, shape(w->tvwExpression)) << step;
    };
    QTreeWidgetItem* s2Node = frmMain::FindNodeByTag(w->tvwExpression, video(s2()));
    main->AddSubExpression("Between", 12, 15);
    w->SegmentsChanged(main, {newest()}, {});
    EXPECT_EQ(frmMain::FindNodeByTag(w->tvwExpression, video(s2())), s2Node);
    EXPECT_EQ(s2Node->parent()->child(1)->text(0), "Between");
    rebuilt("between");
    main->AddSubExpression("Last", 40, 50);
    w->SegmentsChanged(main, {newest()}, {});
    rebuilt("last");
    const auto head = video(s1());
    main->RemoveSubExpressionByPointer(head);
    w->SegmentsChanged(main, {}, {head});
    rebuilt("head removed");
    main->AddSubExpression("Untold", 52, 55);
    main->AddSubExpression("Told", 56, 58);
    w->SegmentsChanged(main, {newest()}, {});
    EXPECT_EQ(w->tvwExpression->topLevelItem(0)->child(0)->childCount(), 5);
    rebuilt("after an untold change");
    // Two neighbours merged into one: only the places around them are looked at.
    const auto members = [&](int a, int b) { return std::vector{main->colSubExpressions().Item(a), main->colSubExpressions().Item(b)}; };
    const auto merged = members(3, 4);
    main->RemoveSubExpressionsByPointer(merged);
    main->AddSubExpression("Merged", 40, 55);
    w->SegmentsChanged(main, {newest()}, merged);
    rebuilt("merged");
    // A link set untold far from the places told of is still seen.
    main->colSubExpressions().Item(1)->setObjFollowedBy(nullptr);
    main->AddSubExpression("After", 60, 61);
    w->SegmentsChanged(main, {newest()}, {});
    rebuilt("after a link set untold");
}

// After each change the keyframe icons are those a walk of the whole
// document finds: the icons made of segments still registered, in
// registration order, each made from its segment's picture of now.
TEST_F(ExpressionTreeTest, KeyframeIconsFollowEachChangeAsAWalkOfTheDocumentFindsThem)
{
    const auto main = std::dynamic_pointer_cast<Version>(frmMain::objectOf(version()))->vdMainVideo();
    const auto segment = [&](int i) { return main->colSubExpressions().Item(i); };
    const auto added = [&](const char* title, double start, double end) {
        main->AddSubExpression(title, start, end);
        w->AddSmallKeyFrame(std::dynamic_pointer_cast<Video>(segment(main->colSubExpressions().Count())));
    };
    std::shared_ptr<Video> gone;
    const std::function<void()> steps[] = {
        [] {},
        [&] { video(s1())->CreateKeyFrameIcons(); }, // a keyframe set: its picture is read again
        [&] { // moved to the end of the registration order
            auto& registry = appState().objAVDoc->collObjects();
            const std::shared_ptr<RegistryItem> moved = video(s2());
            registry.RemoveItem(moved);
            registry.Add(moved);
        },
        [&] { added("Between", 12, 15); },
        [&] { main->RemoveSubExpressionByPointer(video(s1())); },
        [&] { // merged: two removed, one added over both
            main->RemoveSubExpressionsByPointer({segment(1), segment(2)});
            added("Merged", 12, 30);
        },
        [&] { added("Last", 40, 50); },
        [&] { segment(1)->setStrGUID(path("Film_files/renamed.xml")); },
        [&] { w->AddSmallKeyFrame(std::dynamic_pointer_cast<Video>(segment(1))); },
        [&] {
            gone = std::dynamic_pointer_cast<Video>(segment(2));
            main->RemoveSubExpressionByPointer(gone);
        },
        [&] { w->AddSmallKeyFrame(gone); }, // of a segment no longer in the document
    };
    for (size_t step = 0; step < std::size(steps); ++step) {
        SCOPED_TRACE(step);
        steps[step]();
        QStringList walked;
        for (const auto& obj : appState().objAVDoc->collObjects())
            if (const auto v = std::dynamic_pointer_cast<Video>(obj); v && v->objMainExpr() && !walked.contains(v->strGUID()))
                if (w->imlTreeIcons.Find(v->strGUID(), "keyframe"))
                    walked << v->strGUID();
        w->UpdateSmallKeyFrames();
        EXPECT_EQ(keyframeKeys(), walked);
        for (const QString& key : walked)
            EXPECT_EQ(w->imlTreeIcons.Find(key, "keyframe")->source, video(key)->picKeyFrameSmall().cacheKey()) << qPrintable(key);
    }
}

TEST(PictureList, KeepsOrderAndKeysThroughRemovals)
{
    PictureList list;
    QPixmap red(2, 2);
    red.fill(Qt::red);
    for (const QString k : {"a", "b", "c", "d", "e"})
        EXPECT_TRUE(list.Add(k, red, k == "a" ? "fixed" : "keyframe"));
    EXPECT_FALSE(list.Add("c", QPixmap()));
    const auto keys = [&] {
        QString out;
        for (const auto& p : list.pictures())
            out += p.strKey;
        return out;
    };
    EXPECT_TRUE(list.Remove("b"));
    EXPECT_FALSE(list.Remove("b"));
    EXPECT_EQ(keys(), "acde");
    EXPECT_TRUE(list.Remove("c"));
    EXPECT_TRUE(list.Remove("d")); // two of five places left: packed
    EXPECT_TRUE(list.Add("b", red, "keyframe"));
    EXPECT_EQ(keys(), "aeb");
    EXPECT_EQ(list.keysTagged("keyframe"), (std::vector<QString>{"e", "b"}));
    // A picture replaced stays where it stands, with what it was made from.
    QPixmap blue(2, 2);
    blue.fill(Qt::blue);
    EXPECT_TRUE(list.Replace("e", blue, 7));
    EXPECT_FALSE(list.Replace("x", blue, 7));
    EXPECT_EQ(keys(), "aeb");
    ASSERT_NE(list.Find("e", "keyframe"), nullptr);
    EXPECT_EQ(list.Find("e", "keyframe")->source, 7);
    EXPECT_EQ(list.Item("e").toImage().pixel(0, 0), QColor(Qt::blue).rgb());
    EXPECT_EQ(list.Find("e", "fixed"), nullptr);
    EXPECT_EQ(list.Find("x", "keyframe"), nullptr);
    EXPECT_EQ(list.Count(), 3);
    // Kept by keys of their own after the others; the rest of the tag go.
    EXPECT_TRUE(list.Add("c", red, "keyframe"));
    EXPECT_TRUE(list.Add("f", red, "fixed"));
    list.KeepTagged("keyframe", {{"c", 5}, {"x", 1}, {"e", 6}, {"a", 0}, {"c", 9}});
    EXPECT_EQ(keys(), "afce");
    EXPECT_EQ(list.Find("e", "keyframe")->source, 7);
    EXPECT_TRUE(list.Item("b").isNull());
    EXPECT_TRUE(list.Remove("c"));
    EXPECT_EQ(keys(), "afe");
    // Added later, they follow until the next sort.
    EXPECT_TRUE(list.Add("b", red, "keyframe", 0, 1));
    EXPECT_TRUE(list.Add("g", red, "fixed"));
    EXPECT_TRUE(list.SetSortKey("e", 2));
    EXPECT_FALSE(list.SetSortKey("x", 0));
    EXPECT_EQ(keys(), "afebg");
    list.SortTagged("keyframe");
    EXPECT_EQ(keys(), "afgbe");
    EXPECT_EQ(list.keysTagged("keyframe"), (std::vector<QString>{"b", "e"}));
    // Another tag sorted: the first tag's pictures keep the order they had.
    list.SortTagged("fixed");
    EXPECT_EQ(keys(), "beafg");
    EXPECT_TRUE(list.Remove("g"));
    EXPECT_TRUE(list.Remove("f"));
    EXPECT_TRUE(list.Item("d").isNull());
    EXPECT_FALSE(list.Item("e").isNull());
    list.RemoveTagged("keyframe");
    EXPECT_EQ(keys(), "a");
    EXPECT_TRUE(list.Add("e", red));
    EXPECT_EQ(keys(), "ae");
    EXPECT_TRUE(list.Contains("e") && !list.Contains("b"));
}
