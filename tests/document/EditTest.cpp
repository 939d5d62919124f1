#include "DocumentTestSupport.h"

#include "document/Media.h"
#include "document/Storage.h"
#include "document/Version.h"
#include "document/Video.h"
#include "records/ThematicKeywords.h"

#include <set>

using namespace vimra;
using namespace vimra::test;

namespace {

// A registered file as the removal sees it: only its identifier.
class FileItem : public RegistryItem {
public:
    explicit FileItem(QString guid) : m_guid(std::move(guid)) {}
    QString className() const override { return "MediaObject"; }
    std::shared_ptr<IOManager> io() const override { return nullptr; }
    QString strGUID() const override { return m_guid; }
    void setStrGUID(const QString& value) override { m_guid = value; }
    QString strTitle() const override { return m_guid; }
    bool bChanged() const override { return false; }
    bool bSave() override { return true; }

private:
    QString m_guid;
};

// A Video segment with a keyframe picture.
class KeyframedVideo : public Video {
public:
    using Video::Video;
    std::shared_ptr<RegistryItem> keyframe;
    std::shared_ptr<RegistryItem> objKeyframeObject() const override { return keyframe; }
};

} // namespace

TEST_F(DocumentTest, NewDocumentWithoutVocabularyLeavesThemesUnassigned)
{
    const auto doc = newDocument();
    EXPECT_TRUE(doc->isUntitled());
    EXPECT_EQ(classesOf(*doc), QStringList({"AVDocument"}));
    EXPECT_EQ(doc->strGUID(), path("AVDocument.xml"));
    EXPECT_EQ(doc->strTitle(), "AVDocument");
    EXPECT_TRUE(doc->firstNamed("AVDocGUID")->bChanged);
    for (const char* name : {"Themes", "Subthemes", "ThematicKeywords", "expressedby"})
        EXPECT_FALSE(doc->firstNamed(name)->bValid) << name;
    EXPECT_EQ(doc->form()->boundObject(), doc);
    EXPECT_FALSE(QFileInfo::exists(path("AVDocument.xml")));
}

TEST_F(DocumentTest, NewDocumentTakesTheFirstThemeSubthemeAndKeyword)
{
    write("tk.xml", "<TolvThematicKeywords><Theme English=\"Arts\" Italian=\"Arti\">"
                    "<Subtheme English=\"Music\"><Keyword English=\"Opera\"/><Keyword English=\"Jazz\"/></Subtheme>"
                    "</Theme><Theme English=\"Sport\"/></TolvThematicKeywords>");
    auto vocabulary = std::make_shared<TolvThematicKeywords>();
    ASSERT_TRUE(vocabulary->bSetFromXMLFile(path("tk.xml")));
    appState().objThematicKeywords = vocabulary;

    const auto doc = newDocument();
    EXPECT_EQ(doc->strNamedField("Themes"), "Arts");
    EXPECT_EQ(doc->strNamedField("Subthemes"), "Music");
    EXPECT_EQ(idsOf(*doc, "ThematicKeywords"), QStringList({"Opera"}));
    EXPECT_TRUE(doc->firstNamed("ThematicKeywords")->bChanged);

    // A first theme without subthemes gives only the theme.
    write("tk.xml", "<TolvThematicKeywords><Theme English=\"Sport\"/></TolvThematicKeywords>");
    vocabulary = std::make_shared<TolvThematicKeywords>();
    ASSERT_TRUE(vocabulary->bSetFromXMLFile(path("tk.xml")));
    appState().objThematicKeywords = vocabulary;
    const auto doc2 = newDocument("Second.xml");
    EXPECT_EQ(doc2->strNamedField("Themes"), "Sport");
    EXPECT_FALSE(doc2->firstNamed("Subthemes")->bValid);
    EXPECT_FALSE(doc2->firstNamed("ThematicKeywords")->bValid);
}

TEST_F(DocumentTest, ChildAddedWithAnEmptyTitleHoldsTheEmptyText)
{
    const auto doc = newDocument();
    doc->AddChild("");
    const auto title = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1))->firstNamed("VersionTitle");
    ASSERT_TRUE(title && title->bValid);
    EXPECT_FALSE(title->bChanged);
    EXPECT_TRUE(std::holds_alternative<QString>(title->vContent));
}

TEST_F(DocumentTest, RemovingObjectsDropsEveryReferenceAndQueuesTheirFiles)
{
    writeFixture();
    const auto doc = open("Film.xml");
    const auto v1 = at<Version>(*doc, 2);
    const auto m1 = at<Media>(*doc, 3);
    const auto s2 = at<Storage>(*doc, 6);

    // A Storage's media-file object stays registered, and keeps answering
    // its file once the Storage itself is gone.
    std::shared_ptr<RegistryItem> obj = at<Storage>(*doc, 4);
    const std::weak_ptr<RegistryItem> storage1 = obj;
    const auto media1 = doc->collObjects().Item(5);
    doc->RemoveObject(obj);
    EXPECT_EQ(obj, nullptr);
    EXPECT_EQ(classesOf(*doc), QStringList({"AVDocument", "Version", "Media", "MediaObject", "Storage", "MediaObject", "Version"}));
    EXPECT_TRUE(storage1.expired());
    EXPECT_EQ(media1->strGUID(), "/media/film.mpg");
    EXPECT_EQ(idsOf(*m1, "AvailableAs"), QStringList({path("Film_files/Film_storage2.xml")}));
    EXPECT_EQ(m1->colChilds().Count(), 1);
    EXPECT_DOUBLE_EQ(v1->dDuration(), 90.0); // a Storage is left
    EXPECT_TRUE(doc->hasPendingRemovals());
    EXPECT_FALSE(doc->bChanged());

    obj = s2;
    doc->RemoveObject(obj);
    EXPECT_FALSE(m1->firstNamed("AvailableAs")->bValid);
    EXPECT_DOUBLE_EQ(v1->dDuration(), 0.0);

    // A Version goes after its own subtree.
    EXPECT_EQ(v1->strRemoveAllChilds(), "");
    obj = v1;
    doc->RemoveObject(obj);
    EXPECT_EQ(classesOf(*doc), QStringList({"AVDocument", "MediaObject", "MediaObject", "Version"}));
    EXPECT_EQ(idsOf(*doc, "expressedby"), QStringList({path("Film_files/Film_version2.xml")}));
    EXPECT_EQ(doc->colChilds().Count(), 1);
    const QStringList removed{path("Film_files/Film_storage1.xml"), path("Film_files/Film_storage2.xml"),
                              path("Film_files/Film_media1.xml"), path("Film_files/Film_version1.xml")};
    EXPECT_EQ(QStringList(doc->colRemovedGUIDs().begin(), doc->colRemovedGUIDs().end()), removed);
    EXPECT_TRUE(ui.icons.isEmpty());

    // A Video drops its icon and queues its keyframe picture before itself.
    auto video = std::make_shared<KeyframedVideo>(doc);
    ASSERT_EQ(video->strInitAsNew(path("Film_files/Film_video1.xml"), path("document.xsd"), "Shot", nullptr, doc->io()), "");
    video->keyframe = std::make_shared<FileItem>(path("Film_files/Film_video1.bmp"));
    obj = video;
    doc->RemoveObject(obj);
    EXPECT_EQ(ui.icons, QStringList({video->strGUID()}));
    EXPECT_EQ(QStringList(doc->colRemovedGUIDs().begin(), doc->colRemovedGUIDs().end()).mid(4),
              QStringList({video->keyframe->strGUID(), video->strGUID()}));

    // Removing the last Version leaves no expressedby element.
    obj = doc->colChilds().Item(1);
    doc->RemoveObject(obj);
    EXPECT_TRUE(doc->bSave());
    EXPECT_FALSE(read("Film.xml").contains("expressedby"));
    EXPECT_FALSE(doc->hasPendingRemovals());
    EXPECT_EQ(doc->io()->colGUIDToRemove().Count(), 7);
    EXPECT_TRUE(QFileInfo::exists(path("Film_files/Film_version1.xml"))); // deleted at release only
    doc->io()->release();
    EXPECT_FALSE(QFileInfo::exists(path("Film_files/Film_version1.xml")));
    EXPECT_TRUE(QFileInfo::exists(path("Film.xml")));
}

TEST_F(DocumentTest, RegistryPositionsFollowAddsAndRemovalsOfObjectsRegisteredTwice)
{
    // Against a plain list of entries: each object's first position, found
    // by identity, by its registration number and by its identifier.
    std::vector<std::shared_ptr<RegistryItem>> items;
    for (const char* id : {"a.xml", "b.xml", "c.xml", "d.xml"})
        items.push_back(std::make_shared<FileItem>(path(id)));
    Registry registry;
    std::vector<const RegistryItem*> plain;
    const std::pair<bool, int> steps[] = {{true, 0},  {true, 1},  {true, 2},  {true, 1}, {true, 3}, {false, 1},
                                          {false, 0}, {true, 0},  {false, 1}, {true, 1}, {true, 2}, {false, 2},
                                          {false, 3}, {false, 2}};
    for (const auto& [bAdd, n] : steps) {
        SCOPED_TRACE(testing::Message() << (bAdd ? "add " : "remove ") << n);
        if (bAdd) {
            registry.Add(items[n]);
            plain.push_back(items[n].get());
        } else {
            EXPECT_TRUE(registry.RemoveItem(items[n]));
            plain.erase(std::find(plain.begin(), plain.end(), items[n].get()));
        }
        for (const auto& item : items) {
            const auto first = std::find(plain.begin(), plain.end(), item.get());
            const int expected = first == plain.end() ? 0 : int(first - plain.begin()) + 1;
            EXPECT_EQ(registry.IndexOf(item), expected);
            EXPECT_EQ(registry.iPositionOfOrder(registry.iOrderOf(item.get())), expected);
            EXPECT_EQ(registry.objFind(item->strGUID()), expected ? item : nullptr);
        }
        EXPECT_EQ(registry.Count(), int(plain.size()));
        EXPECT_EQ(registry.bEachOnce(), std::set(plain.begin(), plain.end()).size() == plain.size());
        EXPECT_EQ(registry.iFirstFromOrder(registry.iNextOrder()), registry.Count() + 1);
    }
    EXPECT_FALSE(registry.RemoveItem(std::make_shared<FileItem>(path("e.xml"))));
}

TEST_F(DocumentTest, RegistryTellsTheIdentifiersChangedSinceAStamp)
{
    std::vector<std::shared_ptr<RegistryItem>> items;
    for (const char* id : {"a.xml", "b.xml", "c.xml"})
        items.push_back(std::make_shared<FileItem>(path(id)));
    Registry registry;
    const auto since = [&](quint64 stamp) {
        QStringList out;
        const auto names = registry.namesChangedSince(stamp);
        for (const QString& name : names.value())
            out << QFileInfo(name).fileName();
        return out;
    };
    for (const auto& item : items)
        registry.Add(item);
    const quint64 stamp = registry.iNamesStamp();
    items[0]->setStrGUID(path("x/../a.xml")); // the same file spelt otherwise
    registry.rekey(items[0].get());
    items[1]->setStrGUID(path("d.xml"));
    registry.rekey(items[1].get());
    registry.RemoveItems({items[2], items[0]});
    EXPECT_EQ(since(stamp), QStringList({"a.xml", "d.xml", "b.xml", "c.xml", "a.xml"}));
    EXPECT_EQ(since(0).size(), 8);
    EXPECT_TRUE(since(registry.iNamesStamp()).isEmpty());
    registry.Clear();
    EXPECT_FALSE(registry.namesChangedSince(stamp));
    // A reader far behind is told the names are no longer all known.
    ChangeLog log;
    for (int i = 0; i < 70000; ++i)
        log.note(QString::number(i));
    EXPECT_FALSE(log.since(0));
    EXPECT_EQ(log.since(log.stamp() - 2).value().front(), "69998");
}
