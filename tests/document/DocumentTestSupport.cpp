#include "DocumentTestSupport.h"

namespace vimra::test {

void DocumentTest::SetUp()
{
    ASSERT_TRUE(tmp.isValid());
    dir = tmp.path();
    StringTable::setLanguage(StringTable::Language::English);
    appState().reset();
    QFile::copy(QStringLiteral(VIMRA_TEST_DATA "/document/document.xsd"), path("document.xsd"));
    QFile(path("document.xsd")).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    write("vimra.conf", "[Vimra]\nXSDPath=" + path("document.xsd") + "\n");
    qputenv("VIMRA_CONFIG", path("vimra.conf").toLocal8Bit());
    setDocumentUi(&ui);
    setEditorFactory(&editors);
}

void DocumentTest::TearDown()
{
    for (const auto& doc : docs)
        doc->release();
    setDocumentUi(nullptr);
    setEditorFactory(nullptr);
    appState().reset();
    qunsetenv("VIMRA_CONFIG");
}

void DocumentTest::write(const QString& rel, const QString& content) const
{
    writeFile(path(rel), content.toUtf8());
}

QString DocumentTest::read(const QString& rel) const
{
    return QString::fromUtf8(readFile(path(rel)));
}

void DocumentTest::editSchema(const QString& from, const QString& to) const
{
    QString schema = read("document.xsd");
    ASSERT_TRUE(schema.contains(from));
    write("document.xsd", schema.replace(from, to));
}

QString DocumentTest::guids(const QStringList& ids)
{
    QString out;
    for (const QString& id : ids)
        out += "<GUID>" + id + "</GUID>";
    return out;
}

void DocumentTest::writeFixture() const
{
    const QString head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    write("Film.xml", head + "<AVDocument><AVDocGUID>" + path("Film.xml") + "</AVDocGUID><Title>Film</Title>"
                          + "<expressedby>" + guids({path("Film_files/Film_version1.xml"), path("Film_files/Film_version2.xml")})
                          + "</expressedby></AVDocument>");
    write("Film_files/Film_version1.xml",
          head + "<Version><VersionGUID>" + path("Film_files/Film_version1.xml")
              + "</VersionGUID><VersionTitle>First cut</VersionTitle><Duration start=\"0\" end=\"90000\" reasons=\"0\"/>"
              + "<manifestedby>" + guids({path("Film_files/Film_media1.xml")}) + "</manifestedby></Version>");
    write("Film_files/Film_version2.xml",
          head + "<Version><VersionGUID>" + path("Film_files/Film_version2.xml")
              + "</VersionGUID><VersionTitle>Second cut</VersionTitle></Version>");
    write("Film_files/Film_media1.xml",
          head + "<Media><MediaGUID>" + path("Film_files/Film_media1.xml") + "</MediaGUID><Format>DVD</Format>"
              + "<AvailableAs>" + guids({path("Film_files/Film_storage1.xml"), path("Film_files/Film_storage2.xml")})
              + "</AvailableAs></Media>");
    write("Film_files/Film_storage1.xml",
          head + "<Storage><StorageGUID>" + path("Film_files/Film_storage1.xml")
              + "</StorageGUID><Collocation>/media/film.mpg</Collocation><Notes>shelf 4</Notes></Storage>");
    write("Film_files/Film_storage2.xml",
          head + "<Storage><StorageGUID>/elsewhere/Old_storage7.xml</StorageGUID>"
              + "<Collocation>/media/film2.mpg</Collocation></Storage>");
}

void DocumentTest::setMedia(const QString& media) const
{
    write("Film_files/Film_storage1.xml", kHead + "<Storage><StorageGUID>" + path("Film_files/Film_storage1.xml")
                                              + "</StorageGUID><Collocation>" + media + "</Collocation></Storage>");
}

void DocumentTest::writeExpr(const QString& name, const QString& cls, const QString& title, const QString& relations,
                             double start, double end) const
{
    const QString time = start < 0 ? QString()
                                    : QString("<Time start=\"%1\" end=\"%2\" reasons=\"0\"/>").arg(start * 1000).arg(end * 1000);
    write("Film_files/" + name, kHead + "<" + cls + "><" + cls + "GUID>" + path("Film_files/" + name) + "</" + cls
                                    + "GUID><Title>" + title + "</Title>" + time + relations + "</" + cls + ">");
}

std::shared_ptr<IOManager> DocumentTest::newStore() const
{
    auto io = std::make_shared<IOManager>();
    io->setBFileSystem(true);
    return io;
}

std::shared_ptr<AVDocument> DocumentTest::open(const QString& rel, QString* error)
{
    auto doc = AVDocument::create();
    docs.push_back(doc);
    const QString result = doc->strOpen(path(rel), editors.create("AVDocument"), newStore());
    if (error)
        *error = result;
    else
        EXPECT_EQ(result, "");
    return doc;
}

std::shared_ptr<AVDocument> DocumentTest::newDocument(const QString& rel)
{
    auto doc = AVDocument::create();
    docs.push_back(doc);
    auto io = newStore();
    const auto id = io->strCreateGUID({}, "AVDocument", {}, path(rel));
    EXPECT_EQ(doc->strInitAsNew(id.strGUID, path("document.xsd"), "AVDocument", editors.create("AVDocument"), io), "");
    return doc;
}

QStringList idsOf(const DocObject& obj, const QString& field)
{
    const auto f = obj.firstNamed(field);
    const auto list = f && f->bValid ? valueObject<StringList>(f->vContent) : nullptr;
    return list ? QStringList(list->begin(), list->end()) : QStringList();
}

QStringList classesOf(const AVDocument& doc)
{
    QStringList out;
    for (const auto& obj : doc.collObjects())
        out << obj->className();
    return out;
}

} // namespace vimra::test
