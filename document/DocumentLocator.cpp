#include "document/DocumentLocator.h"

#include "document/AVDocument.h"
#include "document/Audio.h"
#include "document/Expression.h"
#include "document/Media.h"
#include "document/Storage.h"
#include "document/Transcript.h"
#include "document/Version.h"
#include "document/Video.h"
#include "platform/Prompts.h"
#include "platform/Xml.h"
#include "records/IOManager.h"
#include "records/Procedures.h"

#include <QHash>
#include <QSet>

namespace vimra {

namespace {

// One object file of a folder as the scans see it: its class and the
// identifiers its single-value relation fields hold (lower-cased names).
struct FolderObject {
    QString strName;
    QString strClass;
    QHash<QString, QString> relations;
};

// One relative found by a scan: its class and identifier.
struct ObjRecord {
    QString strType;
    QString strGUID;
};

bool bIsRelationName(const QString& lowerName)
{
    return lowerName == QLatin1String("versionguid") || lowerName.startsWith(QLatin1String("partof"));
}

// The only place the scans read the document folder: one listing, each file
// read once for its class and relation values. A malformed file is shown
// (once per store) and answers no class.
std::vector<FolderObject> colFolderObjects(const std::shared_ptr<IOManager>& io, const QString& folder)
{
    std::vector<FolderObject> objects;
    for (const QString& name : colListFiles(folder + QStringLiteral("*.xml"))) {
        FolderObject entry;
        entry.strName = name;
        xml::Document doc;
        if (!doc.load(folder + name)) {
            io->ReportMalformed(folder + name, doc.parseErrorReason());
        } else if (const xml::Node root = doc.documentElement(); !root.isNull()) {
            entry.strClass = root.localName();
            for (const xml::Node& field : root.childElements()) {
                const QString lower = field.localName().toLower();
                if (bIsRelationName(lower) && !entry.relations.contains(lower))
                    entry.relations.insert(lower, field.text());
            }
        }
        objects.push_back(std::move(entry));
    }
    return objects;
}

// Whether a candidate of class `strClass` is taken when `strWanted` is asked:
// an empty wanted class takes the three expression classes.
bool bWantedClass(const QString& strClass, const QString& strWanted)
{
    return strWanted.isEmpty() ? Expression::bIsExpressionClass(strClass) : strClass == strWanted;
}

// Whether the loaded `candidate` is a relative of the object (`strGUID`, of
// class `strClass`) under the relation `strRelation`.
bool bIsRelative(const DocObject& candidate, const QString& strRelation, const QString& strClass, const QString& strGUID)
{
    const auto expr = dynamic_cast<const Expression*>(&candidate);
    if (expr && strRelation.startsWith(QLatin1String("PartOf")))
        return expr->bCheckIfSubExpression(strClass, strGUID);
    return candidate.bCheckIfOwnRelative(strClass, strGUID);
}

// The identifiers of the objects of class `strWanted` (any expression class
// when empty) related to the object (`strGUID`, of class `strClass`), in
// folder order. The document file lies one level above its object folder.
// An expression names its relative in a single value, read with its class;
// any other candidate is loaded to be asked, and taken out again.
std::vector<ObjRecord> colFindRelatives(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc,
                                        const QString& strGUID, const QString& strClass, const QString& strRelation,
                                        const QString& strWanted)
{
    std::vector<ObjRecord> found;
    if (!io->bFileSystem())
        return found;
    QString folder;
    const QString base = strSplitPath(strGUID, &folder);
    if (strWanted == QLatin1String("AVDocument"))
        folder += QStringLiteral("../");
    const bool bPartOf = strRelation.startsWith(QLatin1String("PartOf"));
    for (const FolderObject& entry : colFolderObjects(io, folder)) {
        if (entry.strName == base + QStringLiteral(".xml"))
            continue;
        const QString candidatePath = folder + entry.strName;
        if (const auto item = doc->objAlreadyLoaded(candidatePath)) {
            const auto loaded = std::dynamic_pointer_cast<DocObject>(item);
            if (loaded && bWantedClass(loaded->className(), strWanted)
                && bIsRelative(*loaded, strRelation, strClass, strGUID))
                found.push_back({loaded->className(), loaded->strGUID()});
            continue;
        }
        if (!bWantedClass(entry.strClass, strWanted))
            continue;
        if (Expression::bIsExpressionClass(entry.strClass)) {
            // As the expression's own relation tests answer.
            const bool bClassMatches = bPartOf ? strClass == entry.strClass : strClass == QLatin1String("Version");
            const QString value = entry.relations.value(bPartOf ? QStringLiteral("partof") + entry.strClass.toLower()
                                                                : QStringLiteral("versionguid"));
            if (bClassMatches && !value.isEmpty() && IOManager::bGUIDComp(value, strGUID))
                found.push_back({entry.strClass, strAbsolutePath(candidatePath)});
            continue;
        }
        const auto candidate = CreateObjectOfType(entry.strClass, doc);
        if (!candidate)
            continue;
        const QString error = candidate->strLoadXML(candidatePath, nullptr, io);
        if (!error.isEmpty()) {
            prompts().MsgBox(error);
            continue;
        }
        if (bIsRelative(*candidate, strRelation, strClass, strGUID))
            found.push_back({entry.strClass, candidate->strGUID()});
        doc->collObjects().RemoveItem(candidate);
    }
    return found;
}

// The parent of the object: for a Version, Media or Storage the one object
// naming it (none when two do); for an expression its containing
// expression, else its Version.
QString strGetParentGUID(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc,
                         const QString& strGUID, const QString& strClass)
{
    if (Expression::bIsExpressionClass(strClass)) {
        std::shared_ptr<Expression> expr;
        bool bTemporary = false;
        if (const auto item = doc->objAlreadyLoaded(strGUID)) {
            expr = std::dynamic_pointer_cast<Expression>(item);
        } else {
            expr = Expression::newExpression(strClass, doc);
            const QString error = expr->strLoadXML(strGUID, nullptr, io);
            if (!error.isEmpty()) {
                prompts().MsgBox(error, Prompts::OKOnly, Prompts::Exclamation);
                return {};
            }
            bTemporary = true;
        }
        if (!expr)
            return {};
        const QString parent = expr->strGetPartOf().isEmpty() ? expr->strVersionGUID() : expr->strGetPartOf();
        if (bTemporary)
            doc->collObjects().RemoveItem(expr);
        return parent;
    }
    // Only its class is asked: which class holds children of `strClass`.
    const auto sample = ParentObject::newParentOf(strClass, doc);
    if (!sample)
        return {};
    static const QHash<QString, QString> relation{{QStringLiteral("Version"), QStringLiteral("ExpressedBy")},
                                                  {QStringLiteral("Media"), QStringLiteral("ManifestedBy")},
                                                  {QStringLiteral("Storage"), QStringLiteral("AvailableAs")}};
    const auto parents = colFindRelatives(io, doc, strGUID, strClass, relation.value(strClass), sample->className());
    return parents.size() == 1 ? parents.front().strGUID : QString();
}

} // namespace

std::shared_ptr<DocObject> CreateObjectOfType(const QString& strClass, std::weak_ptr<AVDocument> context)
{
    if (strClass == QLatin1String("AVDocument"))
        return std::make_shared<AVDocument>(std::move(context));
    if (strClass == QLatin1String("Version"))
        return std::make_shared<Version>(std::move(context));
    if (strClass == QLatin1String("Media"))
        return std::make_shared<Media>(std::move(context));
    if (strClass == QLatin1String("Storage"))
        return std::make_shared<Storage>(std::move(context));
    if (strClass == QLatin1String("Video"))
        return std::make_shared<Video>(std::move(context));
    if (strClass == QLatin1String("Audio"))
        return std::make_shared<Audio>(std::move(context));
    if (strClass == QLatin1String("Transcript"))
        return std::make_shared<Transcript>(std::move(context));
    return nullptr;
}

QString strRetrieveAVDocGUIDFromGUID(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc,
                                     const QString& strGUID)
{
    // Parents that name each other in a circle end the climb.
    QSet<QString> visited;
    QString current = strGUID;
    while (!current.isEmpty() && !visited.contains(strAbsolutePath(current))) {
        visited.insert(strAbsolutePath(current));
        const QString strClass = io->strWhatIs(current);
        if (strClass == QLatin1String("AVDocument"))
            return current;
        if (strClass == QLatin1String("Version"))
            return strGetParentGUID(io, doc, current, strClass);
        if (strClass != QLatin1String("Media") && strClass != QLatin1String("Storage")
            && !Expression::bIsExpressionClass(strClass))
            return {};
        current = strGetParentGUID(io, doc, current, strClass);
    }
    return {};
}

std::vector<std::shared_ptr<Expression>> colScanForExpressions(const std::shared_ptr<IOManager>& io,
                                                               const std::shared_ptr<AVDocument>& doc,
                                                               const std::shared_ptr<DocObject>& obj)
{
    std::vector<std::shared_ptr<Expression>> result;
    const auto version = std::dynamic_pointer_cast<Version>(obj);
    const auto main = std::dynamic_pointer_cast<Expression>(obj);
    if (!io || !doc || (!version && !main))
        return result;
    const QString strClass = obj->className();
    const auto records = version
        ? colFindRelatives(io, doc, obj->strGUID(), strClass, QStringLiteral("VersionGUID"), QString())
        : colFindRelatives(io, doc, obj->strGUID(), strClass, QStringLiteral("PartOf") + strClass, strClass);
    for (const auto& [exprClass, id] : records) {
        if (const auto item = doc->objAlreadyLoaded(id)) {
            if (auto loaded = std::dynamic_pointer_cast<Expression>(item))
                result.push_back(std::move(loaded));
            continue;
        }
        const auto expr = Expression::newExpression(exprClass, doc);
        if (!expr)
            continue;
        if (main) {
            expr->setObjMainExpr(main);
            expr->setVerVersion(main->verVersion());
        } else {
            expr->setVerVersion(version);
        }
        const QString error = expr->strOpen(id, editorFactory().create(exprClass), io);
        if (!error.isEmpty()) {
            prompts().MsgBox(error, Prompts::OKOnly, Prompts::Exclamation);
            continue;
        }
        result.push_back(expr);
    }
    return result;
}

} // namespace vimra
