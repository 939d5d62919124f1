#include "document/Expression.h"

#include "document/AVDocument.h"
#include "document/DocumentLocator.h"
#include "document/Version.h"
#include "platform/Prompts.h"
#include "records/ChangeLog.h"
#include "records/IOManager.h"
#include "records/Procedures.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <QHash>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
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

// The expressions whose successor link was set, one entry per call of
// setObjFollowedBy.
BasicChangeLog<const DocObject*, 4096> g_linksSet;

} // namespace

quint64 Expression::iLinksSet()
{
    return g_linksSet.stamp();
}

std::optional<std::vector<const DocObject*>> Expression::linksSetSince(quint64 iSince)
{
    const auto set = g_linksSet.since(iSince);
    if (!set)
        return std::nullopt;
    return std::vector<const DocObject*>(set->begin(), set->end());
}

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
    g_linksSet.note(this);
}

void Expression::setSegments(Segments segments)
{
    for (const auto& segment : m_colSubExpressions)
        eraseOne(segment->m_listedBy, this);
    m_colSubExpressions = std::move(segments);
    for (const auto& segment : m_colSubExpressions)
        segment->m_listedBy.push_back(this);
    m_time.reset();
}

void Expression::addSegment(const std::shared_ptr<Expression>& segment)
{
    m_colSubExpressions.Add(segment);
    segment->m_listedBy.push_back(this);
    if (!m_time)
        return;
    // A segment listed twice is left to the next build.
    if (m_time->seen.contains(segment.get())) {
        m_time.reset();
        return;
    }
    m_time->seen[segment.get()].place = m_time->nextPlace++;
    indexSpan(*segment);
    if (segment->m_bTimesOut)
        m_time->watched.push_back(segment);
    // Its span may have been handed out before it was listed.
    segment->m_bSpanOut = true;
    m_time->suspects.push_back(segment);
}

int Expression::positionOf(const std::shared_ptr<Expression>& segment) const
{
    if (!m_leaving)
        return m_colSubExpressions.IndexOf(segment);
    const auto& at = m_leaving->at;
    const auto& taken = m_leaving->taken;
    for (auto it = std::lower_bound(at.begin(), at.end(), std::pair<const RegistryItem*, int>(segment.get(), 0));
         it != at.end() && it->first == segment.get(); ++it)
        if (!std::binary_search(taken.begin(), taken.end(), it->second))
            return it->second;
    return 0;
}

int Expression::removeSegmentAt(int position)
{
    const auto segment = m_colSubExpressions.Item(position);
    eraseOne(segment->m_listedBy, this);
    int index = position;
    if (m_leaving)
        index = TakePosition(m_leaving->taken, position);
    else
        m_colSubExpressions.Remove(position);
    if (!m_time)
        return index;
    if (std::find(segment->m_listedBy.begin(), segment->m_listedBy.end(), this) != segment->m_listedBy.end()) {
        m_time.reset();
        return index;
    }
    unindexSpan(*segment);
    m_time->seen.erase(segment.get());
    return index;
}

void Expression::removalsStarting(const RemovedObjects& removed)
{
    m_leaving = std::make_unique<Leaving>();
    int position = 0;
    for (const auto& segment : m_colSubExpressions) {
        ++position;
        if (removed.bHas(segment.get()))
            m_leaving->at.emplace_back(segment.get(), position);
    }
    std::sort(m_leaving->at.begin(), m_leaving->at.end());
}

void Expression::removalsDone()
{
    if (const auto leaving = std::move(m_leaving))
        m_colSubExpressions.RemovePositions(leaving->taken);
}

void Expression::spanMayHaveChanged() const
{
    if (m_bSpanOut || m_listedBy.empty())
        return;
    const auto self = weak_from_this().lock();
    if (!self)
        return;
    m_bSpanOut = true;
    for (const auto* list : m_listedBy)
        if (list->m_time)
            list->m_time->suspects.push_back(self);
}

void Expression::unindexSpan(const Expression& segment)
{
    const auto it = m_time->seen.find(&segment);
    if (it == m_time->seen.end() || !it->second.bSpan)
        return;
    m_time->byEnd.erase({it->second.end, it->second.place});
    m_time->byStart.erase({it->second.start, it->second.place});
    it->second.bSpan = false;
}

void Expression::indexSpan(const Expression& segment)
{
    const auto it = m_time->seen.find(&segment);
    const Chunk* chunk = segment.spanPeek();
    if (it == m_time->seen.end() || !chunk)
        return;
    TimeIndex::Seen& seen = it->second;
    seen = {seen.place, chunk->dStart, chunk->dend, true};
    // No comparison holds with NaN: such a bound is never a neighbour's.
    if (!std::isnan(seen.end))
        m_time->byEnd.emplace(std::pair(seen.end, seen.place), &segment);
    if (!std::isnan(seen.start))
        m_time->byStart.emplace(std::pair(seen.start, seen.place), &segment);
}

void Expression::reindexSpan(const Expression& segment)
{
    const auto it = m_time->seen.find(&segment);
    if (it == m_time->seen.end())
        return;
    // Bit for bit, so that a NaN bound kept is the same bound.
    const auto same = [](double a, double b) { return std::bit_cast<quint64>(a) == std::bit_cast<quint64>(b); };
    const Chunk* chunk = segment.spanPeek();
    const TimeIndex::Seen& seen = it->second;
    if (chunk ? seen.bSpan && same(seen.start, chunk->dStart) && same(seen.end, chunk->dend) : !seen.bSpan)
        return;
    unindexSpan(segment);
    indexSpan(segment);
}

void Expression::buildTimeIndex()
{
    m_time = std::make_unique<TimeIndex>();
    m_time->seen.reserve(size_t(m_colSubExpressions.Count()));
    for (const auto& segment : m_colSubExpressions)
        m_time->seen[segment.get()].place = m_time->nextPlace++; // a segment listed twice: its later place
    // Both orders are filled from sorted runs, each entry placed at the end.
    using Entry = std::pair<std::pair<double, quint64>, const Expression*>;
    std::vector<Entry> ends, starts;
    ends.reserve(m_time->seen.size());
    starts.reserve(m_time->seen.size());
    for (auto& [segment, seen] : m_time->seen) {
        const auto* holder = segment->spanHolder();
        if (const Chunk* chunk = holder ? holder->get() : nullptr) {
            seen = {seen.place, chunk->dStart, chunk->dend, true};
            // No comparison holds with NaN: such a bound is never a neighbour's.
            if (!std::isnan(seen.end))
                ends.push_back({{seen.end, seen.place}, segment});
            if (!std::isnan(seen.start))
                starts.push_back({{seen.start, seen.place}, segment});
        }
        if (segment->m_bTimesOut)
            m_time->watched.push_back(segment->weak_from_this());
        // Those whose span someone else holds stay suspects.
        segment->m_bSpanOut = holder && holder->use_count() > 1;
        if (segment->m_bSpanOut)
            m_time->suspects.push_back(segment->weak_from_this());
    }
    const auto fill = [](auto& index, std::vector<Entry>& entries) {
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
        for (const auto& entry : entries)
            index.emplace_hint(index.end(), entry);
    };
    fill(m_time->byEnd, ends);
    fill(m_time->byStart, starts);
}

void Expression::PrepareForSegmenting()
{
    if (!m_time)
        buildTimeIndex();
    if (const auto doc = currentDoc()) {
        doc->references().sync(doc->collObjects());
        if (io())
            doc->PrimeNewGUID(*io(), className());
    }
}

void Expression::lookAgainAtSpans()
{
    const auto suspects = std::move(m_time->suspects);
    m_time->suspects.clear();
    for (const auto& weak : suspects) {
        const auto item = weak.lock();
        if (!item)
            continue;
        const auto& segment = static_cast<const Expression&>(*item);
        reindexSpan(segment);
        const auto* chunk = segment.spanHolder();
        if (chunk && chunk->use_count() > 1) {
            segment.m_bSpanOut = true;
            m_time->suspects.push_back(weak);
        } else {
            segment.m_bSpanOut = false;
        }
    }
    std::erase_if(m_time->watched, [](const auto& weak) { return weak.expired(); });
    for (const auto& weak : m_time->watched) {
        const auto item = weak.lock();
        reindexSpan(static_cast<const Expression&>(*item));
    }
}

std::pair<std::shared_ptr<Expression>, std::shared_ptr<Expression>> Expression::neighbours(double dStart, double dEnd)
{
    // The nearest sibling ending at or before the start, and the nearest
    // starting at or after the end; ties go to the later in the collection.
    // A sibling without a span, or overlapping the new one, is neither.
    std::shared_ptr<Expression> previous, next;
    if (!std::isfinite(dStart) || !std::isfinite(dEnd)) {
        // Gaps to an infinite bound are no numbers: the walk's own order decides.
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
        return {previous, next};
    }
    if (m_time)
        lookAgainAtSpans();
    else
        buildTimeIndex();
    const auto shared = [](const Expression* segment) {
        return std::static_pointer_cast<Expression>(const_cast<Expression*>(segment)->shared_from_this());
    };
    // Rounding may give bounds a little apart the same gap: the later listed of those.
    const auto& byEnd = m_time->byEnd;
    if (auto it = byEnd.upper_bound({dStart, std::numeric_limits<quint64>::max()}); it != byEnd.begin()) {
        auto best = --it;
        const double gap = dStart - it->first.first;
        for (;; --it) {
            if (dStart - it->first.first != gap)
                break;
            if (it->first.second > best->first.second)
                best = it;
            if (it == byEnd.begin())
                break;
        }
        previous = shared(best->second);
    }
    const auto& byStart = m_time->byStart;
    if (auto it = byStart.lower_bound({dEnd, 0}); it != byStart.end()) {
        auto best = it;
        const double gap = it->first.first - dEnd;
        for (; it != byStart.end() && it->first.first - dEnd == gap; ++it)
            if (it->first.second > best->first.second)
                best = it;
        next = shared(best->second);
    }
    return {previous, next};
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
    if (m_bWatched && m_bTimesOut)
        return;
    const auto* fields = field ? fieldCache() : nullptr;
    const bool bPartOf = !field || (fields && fields->partOf.get() == field);
    const bool bTime = !field || (fields && std::any_of(fields->times.begin(), fields->times.end(), [&](const auto& time) {
                                      return time.get() == field;
                                  }));
    const auto self = weak_from_this().lock();
    if (!self)
        return;
    const auto doc = currentDoc();
    if (bPartOf && !m_bWatched && doc) {
        m_bWatched = true;
        doc->references().watch(std::const_pointer_cast<RegistryItem>(self));
    }
    if (bTime && !m_bTimesOut) {
        m_bTimesOut = true;
        for (const auto* list : m_listedBy)
            if (list->m_time)
                list->m_time->watched.push_back(self);
    }
}

void Expression::restoreState(SavedState& state)
{
    DocObject::restoreState(state);
    partOfWritten();
    spanMayHaveChanged();
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

const std::shared_ptr<Chunk>* Expression::spanHolder() const
{
    const auto* fields = fieldCache();
    if (!fields)
        return nullptr;
    for (const auto& field : fields->times)
        if (field->bValid)
            return std::get_if<std::shared_ptr<Chunk>>(&field->vContent);
    return nullptr;
}

const Chunk* Expression::spanPeek() const
{
    const auto* chunk = spanHolder();
    return chunk ? chunk->get() : nullptr;
}

std::shared_ptr<Chunk> Expression::ckGetChunk() const
{
    const auto* fields = fieldCache();
    if (!fields)
        return nullptr;
    for (const auto& field : fields->times)
        if (field->bValid) {
            spanMayHaveChanged();
            return valueObject<Chunk>(field->vContent);
        }
    return nullptr;
}

bool Expression::SetChunk(double dStart, double dEnd)
{
    const auto field = ownFields() ? ownFields()->find(QStringLiteral("Time")) : nullptr;
    if (!field || dEnd < dStart)
        return false;
    spanMayHaveChanged();
    auto chunk = std::make_shared<Chunk>();
    chunk->dStart = dStart;
    chunk->dend = dEnd;
    field->vContent = chunk;
    field->bValid = true;
    field->bChanged = true;
    return true;
}

bool Expression::bSpansWritable() const
{
    // The last guard, whoever changed a span in place: a span that ends
    // before it starts is never written.
    if (!bFieldsRead() || !ownFields()->bChanged())
        return true;
    if (const auto* fields = fieldCache())
        for (const auto& field : fields->times) {
            const auto* span = field->bValid ? std::get_if<std::shared_ptr<Chunk>>(&field->vContent) : nullptr;
            if (span && *span && (*span)->dend < (*span)->dStart) {
                prompts().MsgBox(strGUID() + QLatin1Char(' ') + text(msg::TimeEndsBeforeStart));
                return false;
            }
        }
    return true;
}

bool Expression::bSave()
{
    return bSpansWritable() && DocObject::bSave();
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
    return bMayReferOtherwise(removed);
}

bool Expression::bRefersOnlyByLink(const RemovedObjects& removed) const
{
    return removed.classes.size() == 1 && removed.classes.front() == className() && !bMayReferOtherwise(removed);
}

bool Expression::bMayReferOtherwise(const RemovedObjects& removed) const
{
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
    spanMayHaveChanged();
    if (objMainExpr())
        afterSegmentLoaded();
}

void Expression::afterInit()
{
    partOfWritten();
    spanMayHaveChanged();
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
    if (dEnd < dStart) {
        prompts().MsgBox(text(msg::InvalidTimeInterval));
        return;
    }
    const auto segment = newExpression(className(), context());
    if (!segment || !bInitNewObject(segment, strTitle))
        return;
    segment->SetPartOfGUID(strGUID());

    auto [previous, next] = neighbours(dStart, dEnd);
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
    // A new segment starts with no segments of its own: a stray file in the
    // folder naming its fresh identifier as its parent is not taken in.
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
        } else if (const int position = positionOf(removed)) {
            const int index = removeSegmentAt(position);
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

std::vector<Expression::RelationField> Expression::relationFields() const
{
    std::vector<RelationField> out;
    const auto& secol = ownFields();
    if (!secol || !io() || !io()->bFileSystem())
        return out;
    QHash<QString, QString> single{{QStringLiteral("versionguid"), QStringLiteral("Version")},
                                   {strFollowedByName(), className()},
                                   {strPartOfName(), className()}};
    for (const auto& [name, strClass] : renamedRelations())
        single.insert(name, strClass);
    // Every field, not only the first of each name.
    for (const auto& field : *secol) {
        if (!field->bValid)
            continue;
        const QString name = field->strName.toLower();
        if (name == QLatin1String("manifestedby"))
            out.push_back({field, QStringLiteral("Media"), true});
        else if (const auto it = single.constFind(name); it != single.constEnd())
            out.push_back({field, *it, false});
    }
    return out;
}

void Expression::appendRelationGUIDs(std::vector<NamedGUID>& out) const
{
    for (const auto& [field, strClass, bList] : relationFields()) {
        if (!bList)
            out.push_back({valueToText(field->vContent), strClass});
        else if (const auto list = valueObject<StringList>(field->vContent))
            for (const QString& id : *list)
                out.push_back({id, strClass});
    }
}

void Expression::RenameAllRelativesGUIDs(const GUIDRenames& renames)
{
    const auto fields = relationFields();
    if (fields.empty())
        return;
    partOfWritten();
    for (const auto& [field, strClass, bList] : fields) {
        if (bList) {
            renameInList(field, renames);
            continue;
        }
        const auto it = renames.byOld.constFind(GUIDRenames::keyOf(valueToText(field->vContent)));
        if (it == renames.byOld.constEnd() || it->empty())
            continue;
        field->vContent = renames.pairs[static_cast<size_t>(it->front())].second;
        field->bChanged = true;
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
