#pragma once

#include "document/DocObject.h"
#include "records/Coll.h"
#include "records/ValueTypes.h"

#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vimra {

class Expression;
class Version;

// Told of changes to an expression's segment list; views override what they
// need. Not owned by the expression.
class ExpressionObserver {
public:
    virtual ~ExpressionObserver() = default;
    // The segment is the last member of colSubExpressions, keyframe included.
    virtual void subExpressionAdded(Expression&, const std::shared_ptr<Expression>&) {}
    // The segment at this former 1-based index has left colSubExpressions.
    virtual void subExpressionRemoved(Expression&, int) {}
};

// What the three expression classes share: the timed content of a Version
// in one medium (Video, Audio, Transcript), either a Version's main
// expression or a segment of another expression of the same class. The
// segments of one expression keep load or creation order in
// colSubExpressions and time order in the followed-by chain: each names the
// next later one, in its file and through objFollowedBy.
class Expression : public DocObject {
public:
    using DocObject::DocObject;
    using Segments = Coll<std::shared_ptr<Expression>>;
    Expression(const Expression&) = delete;
    Expression& operator=(const Expression&) = delete;
    ~Expression() override;

    // A new, unloaded Video, Audio or Transcript; none for another class.
    static std::shared_ptr<Expression> newExpression(const QString& strClass, std::weak_ptr<AVDocument> context);
    static bool bIsExpressionClass(const QString& strClass);

    const Segments& colSubExpressions() const { return m_colSubExpressions; }
    // The expression this one is a segment of; none for a main expression.
    std::shared_ptr<Expression> objMainExpr() const { return m_mainExpr.lock(); }
    void setObjMainExpr(const std::shared_ptr<Expression>& obj) { m_mainExpr = obj; }
    // The next segment in time order; none for the last.
    std::shared_ptr<Expression> objFollowedBy() const { return m_followedBy.lock(); }
    void setObjFollowedBy(const std::shared_ptr<Expression>& obj);
    // Every call of setObjFollowedBy is counted, and the last few name the
    // expression whose link was set: a view of a long chain looks again at
    // those places only. The expressions set since the count was `iSince`,
    // oldest first (gone ones included); none when they are too many to tell.
    static quint64 iLinksSet();
    static std::optional<std::vector<const DocObject*>> linksSetSince(quint64 iSince);
    std::shared_ptr<Version> verVersion() const { return m_version.lock(); }
    void setVerVersion(const std::shared_ptr<Version>& ver) { m_version = ver; }

    // The Version's main transcript once OpenTranscript has run; a
    // Transcript is its own.
    virtual std::shared_ptr<Expression> objTranscript() const { return m_transcript.lock(); }
    virtual bool bHasTranscript() const { return objTranscript() != nullptr; }
    virtual void OpenTranscript();

    // The owning Version's identifier (main expressions only); writing ""
    // leaves the field unassigned.
    QString strVersionGUID() const { return strNamedField(QStringLiteral("VersionGUID")); }
    void setStrVersionGUID(const QString& strGUID);
    // The time span; none without an assigned Time. Whoever takes it may
    // change it in place.
    std::shared_ptr<Chunk> ckGetChunk() const;
    // The same span without taking a share of it, for walks over many segments.
    const Chunk* spanPeek() const;
    // Stores a new span, marked changed; false, storing nothing, for an end
    // before the start (or without a Time field).
    bool SetChunk(double dStart, double dEnd);
    // The expression this one is a segment of; "" unless a String field holds one.
    QString strGetPartOf() const;
    QString strGetMediaObjectPath() const;

    // True for the class "Version" when this expression names it.
    bool bCheckIfOwnRelative(const QString& strClass, const QString& strGUID) const override;
    // True for this very class name when this expression is a segment of `strGUID`.
    bool bCheckIfSubExpression(const QString& strClass, const QString& strGUID) const;

    // Finds the segments in the document folder, opens those not yet loaded
    // and links their chain.
    void OpenSubExpressions();
    // Adds a segment at its place in time; a failure (an end before the
    // start among them) is shown and adds nothing.
    void AddSubExpression(const QString& strTitle, double dStart, double dEnd);
    // Removes a segment with its own segments from the document.
    void RemoveSubExpressionByPointer(const std::shared_ptr<Expression>& segment);
    // Makes ready now what the first segment added or removed would make:
    // the segments ordered by time, the document's index of part-of fields
    // and the new segment's identifier. Nothing observable changes.
    void PrepareForSegmenting();
    // As RemoveSubExpressionByPointer for each in turn.
    void RemoveSubExpressionsByPointer(const std::vector<std::shared_ptr<Expression>>& segments);

    void addObserver(ExpressionObserver* o) { m_observers.push_back(o); }
    void removeObserver(ExpressionObserver* o) { std::erase(m_observers, o); }

    // Refuses, saying so, to write a Time that ends before it starts.
    bool bSave() override;
    void RemoveReferenceObj(const std::shared_ptr<RegistryItem>& obj) override;
    // Segments removed together leave the list in one pass at the end.
    void removalsStarting(const RemovedObjects& removed) override;
    void removalsDone() override;
    bool bMayReferTo(const RemovedObjects& removed) const override;
    bool bRefersOnlyByLink(const RemovedObjects& removed) const override;
    // What bMayReferTo makes of the part-of field: it names no removed
    // object, it names those of this plain last name, or it may name any.
    struct PartOfKey {
        // Empty: an empty text, which names a removed object only when one
        // has no plain last name.
        enum Kind : quint8 { None, Empty, Named, Always } kind = None;
        QString name;
        bool operator==(const PartOfKey&) const = default;
    };
    PartOfKey partOfKey() const;
    // The expressions whose successor link names this one, and those
    // listing it among their segments (once per place in the list).
    void appendLinkHolders(std::vector<const Expression*>& out) const;
    // Save-as: the version, part-of and followed-by fields take the new
    // identifiers in place, media lists move renamed entries to the end.
    void RenameAllRelativesGUIDs(const GUIDRenames& renames) override;
    void appendRelationGUIDs(std::vector<NamedGUID>& out) const override;
    // One rename as a batch of one, so both forms rename alike.
    void RenameAllRelativesGUID(const QString& strOldGUID, const QString& strNewGUID) override;
    // True while the main expression, the successor or the Version is changed.
    bool bReferedStillToBeSaved() const override;
    // The part-of field, put back, is looked at again.
    void restoreState(SavedState& state) override;
    // Each segment's subtree, then the object; every object once.
    std::optional<SubTree> colSelSubTree() override;

protected:
    // The class's own field names, lower case: partofvideo, followedbyvideo.
    virtual QString strPartOfName() const = 0;
    // The assigned relation fields a save-as renames, each with the class of
    // the objects it names and whether it holds a list; none outside
    // file-system mode.
    struct RelationField {
        SEColl::Record field;
        QString strClass;
        bool bList = false;
    };
    std::vector<RelationField> relationFields() const;
    virtual QString strFollowedByName() const = 0;
    // Single-value fields that save-as renames besides versionguid, part-of and followed-by.
    // Further single relations a save-as renames, lower case, each with the
    // class of the object it names.
    virtual std::vector<std::pair<QString, QString>> renamedRelations() const { return {}; }

    // A segment has been loaded and registered (a Video sets up its keyframe).
    virtual void afterSegmentLoaded() {}
    // The last step of strOpen (a Video makes its keyframe icons).
    virtual void afterSubExpressionsOpened() {}
    // A new segment has its span (a Video sets its keyframe time, a
    // Transcript cuts its words), and then has joined colSubExpressions (a
    // Video makes its keyframe file and icons).
    virtual void segmentTimed(Expression& segment) {}
    virtual void segmentAdded(Expression& segment) {}

    // False, saying so, when the object would be written with a Time that
    // ends before it starts.
    bool bSpansWritable() const;

    void afterLoad() override;
    void afterInit() override;
    void openRelatives() override;
    void fieldsHandedOut(const SchemaElement* field) const override;

    QString strFollowedBy() const;
    void setObjTranscript(const std::shared_ptr<Expression>& obj) { m_transcript = obj; }

    // The first field whose lower-cased name is `strName`.
    SEColl::Record firstLowerNamed(const QString& strName) const;

private:
    void SetFollowedByGUID(const QString& strGUID);
    void SetPartOfGUID(const QString& strGUID);
    void ClearPartOfIfGUID(const QString& strGUID);
    // The text of a String field, "" when unassigned or of another type.
    QString strRelationValue(const QString& strName) const;
    void LinkFollowedBy();
    void collectSubTree(SubTree& out, std::unordered_set<const DocObject*>& visited);
    // The segment list changes only through these, which keep each
    // segment's m_listedBy current.
    void setSegments(Segments segments);
    void addSegment(const std::shared_ptr<Expression>& segment);
    // The list position of the first member that is `segment` (the first
    // not yet taken out, while removals are gathered); 0 for none.
    int positionOf(const std::shared_ptr<Expression>& segment) const;
    // Takes out the member at `position` and answers its index as one-by-one
    // removals number it (gathered ones not counted).
    int removeSegmentAt(int position);
    // The part-of field may hold another value: the document's index of
    // them looks at it again.
    void partOfWritten();

    // The fields a walk over the document asks every expression for, found
    // once per field list: its part-of field and its Time fields in order.
    struct FieldCache {
        const SEColl* peek = nullptr; // secol, while it lives
        std::weak_ptr<SEColl> secol;
        int count = -1;
        SEColl::Record partOf;
        std::vector<SEColl::Record> times;
        // The part-of text last looked at, held so that its buffer is never
        // another's, and what it names.
        QString partOfSeen;
        PartOfKey partOfKey;
    };
    const FieldCache* fieldCache() const;
    const PartOfKey& partOfKeyRef() const;
    // Whether the segment list or the part-of field may name any of `removed`.
    bool bMayReferOtherwise(const RemovedObjects& removed) const;
    const std::shared_ptr<Chunk>* spanHolder() const;

    // The segments by the ends and the starts of their spans, for the
    // neighbour search, with each one's place in colSubExpressions (the
    // later listed, the greater). A segment whose span may have been
    // changed outside this class is looked at again before each search:
    // once after each change the model makes, after its span was handed
    // out until no one else holds it, and always once its fields were.
    struct TimeIndex {
        struct Seen {
            quint64 place = 0;
            double start = 0.0, end = 0.0;
            bool bSpan = false;
        };
        quint64 nextPlace = 1;
        std::unordered_map<const Expression*, Seen> seen;
        std::map<std::pair<double, quint64>, const Expression*> byEnd, byStart;
        std::vector<std::weak_ptr<const RegistryItem>> suspects, watched;
    };
    void buildTimeIndex();
    void indexSpan(const Expression& segment);
    void unindexSpan(const Expression& segment);
    // Indexes the segment's span again when it is not the one indexed.
    void reindexSpan(const Expression& segment);
    void lookAgainAtSpans();
    // The new span's neighbours, as a walk of colSubExpressions finds them.
    std::pair<std::shared_ptr<Expression>, std::shared_ptr<Expression>> neighbours(double dStart, double dEnd);
    // The span may be another: the lists holding this segment look again.
    void spanMayHaveChanged() const;
    // Made by the first search, dropped when the list is replaced.
    mutable std::unique_ptr<TimeIndex> m_time;
    mutable FieldCache m_fieldCache;

    Segments m_colSubExpressions;
    std::weak_ptr<Expression> m_mainExpr;
    std::weak_ptr<Expression> m_followedBy;
    // Back links, each entry kept while its expression lives: whose
    // m_followedBy names this one, and whose segment list holds it.
    std::vector<const Expression*> m_predecessors;
    std::vector<const Expression*> m_listedBy;
    mutable bool m_bWatched = false; // its part-of field was handed out
    mutable bool m_bTimesOut = false; // its Time fields were handed out
    mutable bool m_bSpanOut = false;  // waits in its lists' suspects
    std::weak_ptr<Version> m_version;
    std::weak_ptr<Expression> m_transcript;
    std::vector<ExpressionObserver*> m_observers;
    // Removals gathered between removalsStarting and removalsDone: the list
    // positions of the removed objects found in the list (by object, then
    // position), and the positions taken out so far, rising.
    struct Leaving {
        std::vector<std::pair<const RegistryItem*, int>> at;
        std::vector<int> taken;
    };
    std::unique_ptr<Leaving> m_leaving;
};

} // namespace vimra
