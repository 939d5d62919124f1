#include "document/Expression.h"

#include "document/AVDocument.h"
#include "document/DocumentLocator.h"
#include "document/Version.h"
#include "platform/Prompts.h"
#include "records/IOManager.h"
#include "records/Procedures.h"

#include <QHash>

#include <algorithm>
#include <numeric>

namespace vimra {

std::shared_ptr<Expression> Expression::newExpression(const QString& strClass, std::weak_ptr<AVDocument> context)
{
    return std::dynamic_pointer_cast<Expression>(CreateObjectOfType(strClass, std::move(context)));
}

bool Expression::bIsExpressionClass(const QString& strClass)
{
    return strClass == QLatin1String("Video") || strClass == QLatin1String("Audio")
           || strClass == QLatin1String("Transcript");
}

namespace {

void eraseOne(std::vector<const Expression*>& list, const Expression* expr)
{
    if (const auto it = std::find(list.begin(), list.end(), expr); it != list.end())
        list.erase(it);
}

} // namespace

Expression::~Expression()
{
    if (const auto next = m_followedBy.lock())
        eraseOne(next->m_predecessors, this);
    for (const auto& segment : m_colSubExpressions)
        eraseOne(segment->m_listedBy, this);
}

void Expression::setObjFollowedBy(const std::shared_ptr<Expression>& obj)
{
    if (const auto old = m_followedBy.lock())
        eraseOne(old->m_predecessors, this);
    m_followedBy = obj;
    if (obj)
        obj->m_predecessors.push_back(this);
}

void Expression::setSegments(Segments segments)
{
    for (const auto& segment : m_colSubExpressions)
        eraseOne(segment->m_listedBy, this);
    m_colSubExpressions = std::move(segments);
    for (const auto& segment : m_colSubExpressions)
        segment->m_listedBy.push_back(this);
}

void Expression::addSegment(const std::shared_ptr<Expression>& segment)
{
    m_colSubExpressions.Add(segment);
    segment->m_listedBy.push_back(this);
}

void Expression::removeSegmentAt(int index)
{
    eraseOne(m_colSubExpressions.Item(index)->m_listedBy, this);
    m_colSubExpressions.Remove(index);
}

void Expression::appendLinkHolders(std::vector<const Expression*>& out) const
{
    out.insert(out.end(), m_predecessors.begin(), m_predecessors.end());
    out.insert(out.end(), m_listedBy.begin(), m_listedBy.end());
}

void Expression::partOfWritten()
{
    if (const auto doc = currentDoc())
        if (const auto self = weak_from_this().lock())
            doc->references().touch(self);
}

void Expression::fieldsHandedOut(const SchemaElement* field) const
{
    if (m_bWatched)
        return;
    if (field) {
        const auto* fields = fieldCache();
        if (!fields || fields->partOf.get() != field)
            return;
    }
    const auto doc = currentDoc();
    const auto self = std::const_pointer_cast<RegistryItem>(weak_from_this().lock());
    if (doc && self) {
        m_bWatched = true;
        doc->references().watch(self);
    }
}

void Expression::restoreState(SavedState& state)
{
    DocObject::restoreState(state);
    partOfWritten();
}

void Expression::OpenTranscript()
{
    const auto ver = verVersion();
    m_transcript = ver ? ver->trMainTranscript() : nullptr;
}

namespace {

// name.toLower() == lower, without making the lower-case copy for an ASCII
// name: a document walk asks every expression for one of its fields.
bool bLowerEquals(const QString& name, const QString& lower)
{
    const qsizetype n = name.size();
    bool bSameSoFar = n == lower.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = name[i].unicode();
        if (c >= 0x80)
            return name.toLower() == lower;
        if (bSameSoFar)
            bSameSoFar = char16_t(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) == lower[i].unicode();
    }
    return bSameSoFar;
}

} // namespace

SEColl::Record Expression::firstLowerNamed(const QString& strName) const
{
    const auto& secol = ownFields();
    if (!secol)
        return nullptr;
    for (const auto& field : *secol)
        if (bLowerEquals(field->strName, strName))
            return field;
    return nullptr;
}

void Expression::setStrVersionGUID(const QString& strGUID)
{
    const auto field = firstNamed(QStringLiteral("VersionGUID"));
    if (!field)
        return;
    if (valueToText(field->vContent) != strGUID) {
        field->vContent = strGUID;
        field->bChanged = true;
    }
    field->bValid = !strGUID.isEmpty();
}

const Expression::FieldCache* Expression::fieldCache() const
{
    const SEColl* peek = ownFields().get();
    if (!peek)
        return nullptr;
    // A list alive at the address seen before is that same list.
    if (peek != m_fieldCache.peek || m_fieldCache.secol.expired() || m_fieldCache.count != peek->Count()) {
        const auto& secol = ownFields();
        m_fieldCache = {peek, secol, secol->Count(), firstLowerNamed(strPartOfName()), {}, {}, {}};
        for (const auto& field : *secol)
            if (field->strName == QLatin1String("Time"))
                m_fieldCache.times.push_back(field);
    }
    return &m_fieldCache;
}

const Chunk* Expression::spanPeek() const
{
    const auto* fields = fieldCache();
    if (!fields)
        return nullptr;
    for (const auto& field : fields->times)
        if (field->bValid) {
            const auto* chunk = std::get_if<std::shared_ptr<Chunk>>(&field->vContent);
            return chunk ? chunk->get() : nullptr;
        }
    return nullptr;
}

std::shared_ptr<Chunk> Expression::ckGetChunk() const
{
    const auto* fields = fieldCache();
    if (!fields)
        return nullptr;
    for (const auto& field : fields->times)
        if (field->bValid)
            return valueObject<Chunk>(field->vContent);
    return nullptr;
}

void Expression::SetChunk(double dStart, double dEnd)
{
    const auto field = firstNamed(QStringLiteral("Time"));
    if (!field)
        return;
    auto chunk = std::make_shared<Chunk>();
    chunk->dStart = dStart;
    chunk->dend = dEnd;
    field->vContent = chunk;
    field->bValid = true;
    field->bChanged = true;
}

QString Expression::strRelationValue(const QString& strName) const
{
    const auto field = firstLowerNamed(strName);
    if (!field || field->tyType != tyString || !field->bValid)
        return {};
    return valueToText(field->vContent);
}

QString Expression::strGetPartOf() const
{
    return strRelationValue(strPartOfName());
}

QString Expression::strFollowedBy() const
{
    return strRelationValue(strFollowedByName());
}

QString Expression::strGetMediaObjectPath() const
{
    const auto ver = verVersion();
    return ver ? ver->strGetMediaObjectPath() : QString();
}

void Expression::SetFollowedByGUID(const QString& strGUID)
{
    const auto field = firstLowerNamed(strFollowedByName());
    if (!field)
        return;
    // "" keeps the old value but no longer writes it.
    if (!strGUID.isEmpty())
        field->vContent = strGUID;
    field->bChanged = true;
    field->bValid = !strGUID.isEmpty();
}

void Expression::SetPartOfGUID(const QString& strGUID)
{
    if (const auto field = firstLowerNamed(strPartOfName())) {
        field->vContent = strGUID;
        field->bChanged = true;
        field->bValid = true;
        partOfWritten();
    }
}

bool Expression::bMayReferTo(const RemovedObjects& removed) const
{
    // Told by pointers and the part-of field's last name, without copies:
    // most expressions of a large document hold none of the removed.
    if (removed.classes.contains(QStringLiteral("Version")))
        return true;
    if (!removed.classes.contains(className()))
        return false;
    // A successor among a few is told by its owner, without taking a share.
    if (removed.items.size() <= 8) {
        for (const auto& item : removed.items)
            if (item && !m_followedBy.owner_before(item) && !item.owner_before(m_followedBy))
                return true;
    } else if (const auto next = m_followedBy.lock(); next && removed.bHas(next.get())) {
        return true;
    }
    for (const auto& segment : m_colSubExpressions)
        if (removed.bHas(segment.get()))
            return true;
    const PartOfKey& key = partOfKeyRef();
    switch (key.kind) {
    case PartOfKey::None:
        return false;
    case PartOfKey::Empty:
        return removed.bUnplainName;
    case PartOfKey::Named:
        return removed.bUnplainName || removed.lastNames.contains(key.name);
    case PartOfKey::Always:
        return true;
    }
    return true;
}

const Expression::PartOfKey& Expression::partOfKeyRef() const
{
    static const PartOfKey none;
    const auto* fields = fieldCache();
    if (!fields || !fields->partOf)
        return none;
    const auto* text = std::get_if<QString>(&fields->partOf->vContent);
    if (!text) {
        static const PartOfKey always{PartOfKey::Always, {}};
        return always;
    }
    // Any write to the field gives it another buffer while this one is held.
    if (text->constData() != m_fieldCache.partOfSeen.constData() || text->size() != m_fieldCache.partOfSeen.size()
        || m_fieldCache.partOfKey.kind == PartOfKey::None) {
        m_fieldCache.partOfSeen = *text;
        const auto name = plainLastName(*text);
        m_fieldCache.partOfKey = text->isEmpty() ? PartOfKey{PartOfKey::Empty, {}}
                                 : name          ? PartOfKey{PartOfKey::Named, name->toString()}
                                                 : PartOfKey{PartOfKey::Always, {}};
    }
    return m_fieldCache.partOfKey;
}

Expression::PartOfKey Expression::partOfKey() const
{
    return partOfKeyRef();
}

void Expression::ClearPartOfIfGUID(const QString& strGUID)
{
    const auto* fields = fieldCache();
    const auto field = fields ? fields->partOf : nullptr;
    if (field && bSameGUID(valueToText(field->vContent), strGUID)) {
        field->bValid = false;
        field->bChanged = true;
    }
}

bool Expression::bCheckIfOwnRelative(const QString& strClass, const QString& strGUID) const
{
    const auto field = firstLowerNamed(QStringLiteral("versionguid"));
    return strClass == QLatin1String("Version") && field && bSameGUID(valueToText(field->vContent), strGUID);
}

bool Expression::bCheckIfSubExpression(const QString& strClass, const QString& strGUID) const
{
    const auto field = firstLowerNamed(strPartOfName());
    return strClass == className() && field && bSameGUID(valueToText(field->vContent), strGUID);
}

void Expression::afterLoad()
{
    partOfWritten();
    if (objMainExpr())
        afterSegmentLoaded();
}

void Expression::afterInit()
{
    partOfWritten();
    setSegments(Segments());
}

void Expression::openRelatives()
{
    OpenSubExpressions();
    afterSubExpressionsOpened();
}

void Expression::OpenSubExpressions()
{
    Segments found;
    if (const auto doc = currentDoc(); doc && io()) {
        const auto self = std::static_pointer_cast<Expression>(shared_from_this());
        for (const auto& segment : colScanForExpressions(io(), doc, self))
            found.Add(segment);
    }
    setSegments(std::move(found));
    LinkFollowedBy();
}

void Expression::LinkFollowedBy()
{
    const int n = m_colSubExpressions.Count();
    if (n == 0 || !io() || !io()->bFileSystem())
        return;
    // Each segment is looked up by its identifier once, not compared with
    // every other. A stored chain may contradict itself: a link that would
    // give a segment a second predecessor or close a cycle is refused, so
    // every chain has a head and an end.
    QHash<QString, int> byGUID;
    QHash<const Expression*, int> byObject;
    for (int i = 0; i < n; ++i) {
        const auto& segment = m_colSubExpressions.Item(i + 1);
        byGUID.insert(strAbsolutePath(segment->strGUID()), i);
        byObject.insert(segment.get(), i);
    }
    // The chains already linked, as sets of segments joined by their links.
    std::vector<int> chainOf(n);
    std::iota(chainOf.begin(), chainOf.end(), 0);
    const auto find = [&chainOf](int i) {
        while (chainOf[i] != i)
            i = chainOf[i] = chainOf[chainOf[i]];
        return i;
    };
    std::vector<bool> hasPredecessor(n, false);
    for (int i = 0; i < n; ++i) {
        const int j = byObject.value(m_colSubExpressions.Item(i + 1)->objFollowedBy().get(), -1);
        if (j >= 0) {
            hasPredecessor[j] = true;
            chainOf[find(i)] = find(j);
        }
    }
    for (int i = 0; i < n; ++i) {
        const auto& b = m_colSubExpressions.Item(i + 1);
        const QString strNext = b->strFollowedBy();
        if (strNext.isEmpty())
            continue;
        const int j = byGUID.value(strAbsolutePath(strNext), -1);
        if (j < 0)
            continue;
        const auto& a = m_colSubExpressions.Item(j + 1);
        if (b->objFollowedBy() == a || hasPredecessor[j] || find(i) == find(j))
            continue;
        if (const int old = byObject.value(b->objFollowedBy().get(), -1); old >= 0)
            hasPredecessor[old] = false;
        b->setObjFollowedBy(a);
        hasPredecessor[j] = true;
        chainOf[find(i)] = find(j);
    }
}

void Expression::AddSubExpression(const QString& strTitle, double dStart, double dEnd)
{
    const auto segment = newExpression(className(), context());
    if (!segment || !bInitNewObject(segment, strTitle))
        return;
    segment->SetPartOfGUID(strGUID());

    // The nearest sibling ending at or before the start, and the nearest
    // starting at or after the end; ties go to the later in the collection.
    // A sibling without a span, or overlapping the new one, is neither.
    std::shared_ptr<Expression> previous, next;
    double previousGap = 0.0, nextGap = 0.0;
    for (const auto& sibling : m_colSubExpressions) {
        const Chunk* chunk = sibling->spanPeek();
        if (!chunk)
            continue;
        if (chunk->dend <= dStart && (!previous || dStart - chunk->dend <= previousGap)) {
            previous = sibling;
            previousGap = dStart - chunk->dend;
        }
        if (chunk->dStart >= dEnd && (!next || chunk->dStart - dEnd <= nextGap)) {
            next = sibling;
            nextGap = chunk->dStart - dEnd;
        }
    }
    // A zero-length sibling at a zero-length new span is both: linking it
    // both ways would close a cycle.
    if (next == previous)
        next = nullptr;
    if (previous) {
        previous->SetFollowedByGUID(segment->strGUID());
        previous->setObjFollowedBy(segment);
    }
    if (next) {
        segment->SetFollowedByGUID(next->strGUID());
        segment->setObjFollowedBy(next);
    }
    segment->SetChunk(dStart, dEnd);
    segmentTimed(*segment);
    segment->setObjMainExpr(std::static_pointer_cast<Expression>(shared_from_this()));
    segment->setVerVersion(verVersion());
    addSegment(segment);
    segmentAdded(*segment);
    segment->OpenSubExpressions();
    // The index takes in each new object as it comes, not all at the next removal.
    if (const auto doc = currentDoc())
        doc->references().sync(doc->collObjects());
    for (auto* o : std::vector(m_observers))
        o->subExpressionAdded(*this, segment);
}

void Expression::RemoveSubExpressionByPointer(const std::shared_ptr<Expression>& segment)
{
    if (!segment)
        return;
    const QString error = segment->strRemoveAllChilds();
    if (!error.isEmpty()) {
        prompts().MsgBox(error);
        return;
    }
    if (const auto doc = currentDoc()) {
        std::shared_ptr<RegistryItem> item = segment;
        doc->RemoveObject(item);
    }
}

void Expression::RemoveSubExpressionsByPointer(const std::vector<std::shared_ptr<Expression>>& segments)
{
    // Segments with segments of their own, or that refuse, go one by one.
    const bool bLeaves = std::all_of(segments.begin(), segments.end(), [](const auto& segment) {
        const auto subTree = segment ? segment->colSelSubTree() : std::nullopt;
        return subTree && subTree->size() == 1 && subTree->front() == segment;
    });
    const auto doc = currentDoc();
    if (!bLeaves || !doc) {
        for (const auto& segment : segments)
            RemoveSubExpressionByPointer(segment);
        return;
    }
    doc->RemoveObjects(std::vector<std::shared_ptr<RegistryItem>>(segments.begin(), segments.end()));
}

void Expression::RemoveReferenceObj(const std::shared_ptr<RegistryItem>& obj)
{
    if (!obj)
        return;
    if (obj->className() == className()) {
        const auto removed = std::static_pointer_cast<Expression>(obj);
        if (objFollowedBy() == removed) {
            // The chain closes over the gap; the last one leaves no successor.
            SetFollowedByGUID(removed->strFollowedBy());
            const auto successor = removed->objFollowedBy();
            setObjFollowedBy(successor.get() == this ? nullptr : successor);
        } else if (const int index = m_colSubExpressions.IndexOf(removed)) {
            removeSegmentAt(index);
            ClearPartOfIfGUID(removed->strGUID());
            for (auto* o : std::vector(m_observers))
                o->subExpressionRemoved(*this, index);
        } else {
            ClearPartOfIfGUID(removed->strGUID());
        }
    } else if (obj->bIsClass("Version")) {
        if (bSameGUID(strVersionGUID(), obj->strGUID()))
            setStrVersionGUID(QString());
    }
}

void Expression::RenameAllRelativesGUIDs(const GUIDRenames& renames)
{
    const auto& secol = ownFields();
    if (!secol || !io() || !io()->bFileSystem())
        return;
    partOfWritten();
    // Every field, not only the first of each name.
    const QStringList single = QStringList{QStringLiteral("versionguid"), strFollowedByName(), strPartOfName()}
                               + renamedRelationNames();
    for (const auto& field : *secol) {
        if (!field->bValid)
            continue;
        const QString name = field->strName.toLower();
        if (name == QLatin1String("manifestedby")) {
            renameInList(field, renames);
        } else if (single.contains(name)) {
            const auto it = renames.byOld.constFind(GUIDRenames::keyOf(valueToText(field->vContent)));
            if (it == renames.byOld.constEnd() || it->empty())
                continue;
            field->vContent = renames.pairs[static_cast<size_t>(it->front())].second;
            field->bChanged = true;
        }
    }
}

void Expression::RenameAllRelativesGUID(const QString& strOldGUID, const QString& strNewGUID)
{
    GUIDRenames renames;
    renames.add(strOldGUID, strNewGUID);
    RenameAllRelativesGUIDs(renames);
}

bool Expression::bReferedStillToBeSaved() const
{
    const auto main = objMainExpr();
    const auto next = objFollowedBy();
    const auto ver = verVersion();
    return (main && main->bChanged()) || (next && next->bChanged()) || (ver && ver->bChanged());
}

std::optional<DocObject::SubTree> Expression::colSelSubTree()
{
    SubTree out;
    std::unordered_set<const DocObject*> visited;
    collectSubTree(out, visited);
    return out;
}

void Expression::collectSubTree(SubTree& out, std::unordered_set<const DocObject*>& visited)
{
    // Stored part-of links may run in a circle.
    if (!visited.insert(this).second)
        return;
    for (const auto& segment : m_colSubExpressions)
        segment->collectSubTree(out, visited);
    out.push_back(std::static_pointer_cast<DocObject>(shared_from_this()));
}

} // namespace vimra
