#include "DocumentTestSupport.h"

#include "document/Expression.h"
#include "document/Transcript.h"
#include "document/Version.h"
#include "resources/MessageIds.h"

#include <QRegularExpression>
#include <QSet>

#include <cmath>
#include <functional>

using namespace vimra;
using namespace vimra::test;

namespace {

std::shared_ptr<Expression> mainOf(const Version& ver, const QString& kind)
{
    return kind == "Video" ? ver.vdMainVideo() : kind == "Audio" ? ver.auMainAudio() : ver.trMainTranscript();
}

std::shared_ptr<Expression> segment(const Expression& expr, const QString& title)
{
    for (const auto& s : expr.colSubExpressions())
        if (s->strTitle() == title)
            return s;
    return nullptr;
}

// The chains of an expression's segments, from each head (a segment no
// sibling follows) along objFollowedBy: "Title[start,end]", then ">Next"
// when its stored followed-by field names Next. Chains are sorted and
// separated by " | "; segments on a cycle are listed after "cycle:".
QString chainOf(const Expression& expr)
{
    const QString followedBy = "followedby" + expr.className().toLower();
    QHash<QString, QString> titleOf;
    QSet<const Expression*> followed;
    for (const auto& s : expr.colSubExpressions()) {
        titleOf.insert(s->strGUID(), s->strTitle());
        if (const auto next = s->objFollowedBy())
            followed.insert(next.get());
    }
    const auto describe = [&](const Expression& s) {
        const auto chunk = s.ckGetChunk();
        QString out = s.strTitle() + (chunk ? QString("[%1,%2]").arg(chunk->dStart).arg(chunk->dend) : "[]");
        const auto field = s.firstNamed(followedBy);
        if (field && field->bValid)
            out += ">" + titleOf.value(valueToText(field->vContent), valueToText(field->vContent));
        return out;
    };
    QStringList chains;
    QSet<const Expression*> visited;
    for (const auto& head : expr.colSubExpressions()) {
        if (followed.contains(head.get()))
            continue;
        QStringList chain;
        for (auto s = head; s && !visited.contains(s.get()); s = s->objFollowedBy()) {
            visited.insert(s.get());
            chain << describe(*s);
        }
        chains << chain.join(' ');
    }
    for (const auto& s : expr.colSubExpressions())
        if (!visited.contains(s.get()))
            chains << "cycle:" + describe(*s);
    chains.sort();
    return chains.join(" | ");
}

struct Step {
    QString what;
    std::function<void(Expression& main)> op;
    QString expected;
};

} // namespace

class ExpressionTest : public DocumentTest {
protected:
    // A new Film.xml with one Version and a main expression of `kind` over [0, 100].
    std::shared_ptr<Expression> newMain(const QString& kind)
    {
        // An earlier one's files go first: a new document never writes over them.
        QFile::remove(path("Film.xml"));
        QDir(path("Film_files")).removeRecursively();
        doc = newDocument("Film.xml");
        doc->AddChild("Cut");
        ver = std::dynamic_pointer_cast<Version>(doc->colChilds().Item(1));
        ver->AddMainExpression("Main", kind, 0, 100);
        return mainOf(*ver, kind);
    }

    // Runs the steps on a new main expression of `kind`; after each one the
    // chain must be as expected, in memory and again after a save, close and reopen.
    void walk(const QString& kind, const std::vector<Step>& steps)
    {
        const auto main = newMain(kind);
        ASSERT_NE(main, nullptr);
        for (const auto& step : steps) {
            SCOPED_TRACE((kind + ": " + step.what).toStdString());
            step.op(*main);
            EXPECT_EQ(chainOf(*main), step.expected);
            ASSERT_TRUE(doc->bSave());
            doc->io()->strSync(); // the removed files go, as when the document is closed
            const auto reopened = open("Film.xml");
            const auto reVer = std::dynamic_pointer_cast<Version>(reopened->colChilds().Item(1));
            ASSERT_NE(mainOf(*reVer, kind), nullptr);
            EXPECT_EQ(chainOf(*mainOf(*reVer, kind)), step.expected);
            EXPECT_TRUE(prompts.calls.empty());
        }
    }

    static Step add(const QString& title, double start, double end, const QString& expected)
    {
        return {"add " + title, [=](Expression& main) { main.AddSubExpression(title, start, end); }, expected};
    }

    std::shared_ptr<AVDocument> doc;
    std::shared_ptr<Version> ver;
};

TEST_F(ExpressionTest, ChainLinksSegmentsInTimeOrderThroughAddsAndRemovals)
{
    for (const QString kind : {"Video", "Audio", "Transcript"}) {
        walk(kind, {
            add("A", 10, 20, "A[10,20]"),
            add("B", 30, 40, "A[10,20]>B B[30,40]"),
            add("C", 20, 25, "A[10,20]>C C[20,25]>B B[30,40]"),
            add("H", 0, 5, "H[0,5]>A A[10,20]>C C[20,25]>B B[30,40]"),
            add("T", 50, 60, "H[0,5]>A A[10,20]>C C[20,25]>B B[30,40]>T T[50,60]"),
            {"remove the middle C", [](Expression& m) { m.RemoveSubExpressionByPointer(segment(m, "C")); },
             "H[0,5]>A A[10,20]>B B[30,40]>T T[50,60]"},
            {"remove the last T",
             [](Expression& m) {
                 m.RemoveSubExpressionByPointer(segment(m, "T"));
                 EXPECT_TRUE(segment(m, "B")->bChanged());
             },
             "H[0,5]>A A[10,20]>B B[30,40]"},
        });
        for (const auto& d : docs)
            d->release(); // the owner releases what it drops
        docs.clear();
    }
}

TEST_F(ExpressionTest, SegmentsRemovedTogetherLeaveWhatRemovalsOneByOneLeave)
{
    // Out of time order, a run, the last one, and a segment whose part-of
    // field was edited to name one of them (it then names none).
    const QStringList gone{"D", "B", "C", "F"};
    QStringList results;
    for (const bool bTogether : {false, true}) {
        const auto main = newMain("Video");
        for (int i = 0; i < 6; ++i)
            main->AddSubExpression(QString(QChar('A' + i)), 10 * i, 10 * i + 5);
        main->AddSubExpression("X", 70, 75);
        const auto partOf = segment(*main, "X")->firstNamed("partofvideo");
        ASSERT_NE(partOf, nullptr);
        partOf->vContent = segment(*main, "C")->strGUID();
        ASSERT_TRUE(doc->bSave());
        std::vector<std::shared_ptr<Expression>> chosen;
        for (const auto& title : gone)
            chosen.push_back(segment(*main, title));
        // The list order, and each removal's index as its observers are told.
        struct Told : ExpressionObserver {
            QString indexes;
            void subExpressionRemoved(Expression&, int index) override { indexes += QString::number(index); }
        } told;
        main->addObserver(&told);
        if (bTogether)
            main->RemoveSubExpressionsByPointer(chosen);
        else
            for (const auto& s : chosen)
                main->RemoveSubExpressionByPointer(s);
        main->removeObserver(&told);
        QString list;
        for (const auto& s : main->colSubExpressions())
            list += s->strTitle();
        results << chainOf(*main) + QString(" part-of %1%2").arg(partOf->bValid).arg(partOf->bChanged)
                       + QString(" %1 objects, list %2, told %3").arg(doc->collObjects().Count()).arg(list, told.indexes);
    }
    EXPECT_EQ(results[0], "A[0,5]>E E[40,45]>X X[70,75] part-of 01 13 objects, list AEX, told 4223");
    EXPECT_EQ(results[1], results[0]);
}

TEST_F(ExpressionTest, RemovalsAskTheObjectsAWalkOfTheRegistryWouldAsk)
{
    // For every expression, alone and with its successor: the holders the
    // document finds against those a walk asking every entry finds, after
    // links and part-of fields changed in each way they can.
    const auto check = [](AVDocument& d) {
        const Registry& registry = d.collObjects();
        for (const auto& item : registry) {
            const auto expr = std::dynamic_pointer_cast<Expression>(item);
            if (!expr)
                continue;
            for (const auto& objects : {std::vector<std::shared_ptr<RegistryItem>>{expr},
                                        std::vector<std::shared_ptr<RegistryItem>>{expr, expr->objFollowedBy()}}) {
                const RemovedObjects removed(objects);
                std::vector<std::shared_ptr<RegistryItem>> walked, found;
                for (int i = 1; i <= registry.Count(); ++i)
                    if (registry.bMayHold(i, removed))
                        walked.push_back(registry.Item(i));
                ASSERT_TRUE(d.references().bFindHolders(registry, removed, found));
                EXPECT_EQ(found, walked) << qPrintable(expr->strTitle());
            }
        }
    };
    const auto main = newMain("Video");
    for (int i = 0; i < 5; ++i)
        main->AddSubExpression(QString(QChar('A' + i)), 10 * i, 10 * i + 5);
    segment(*main, "C")->AddSubExpression("C1", 20, 22);
    const auto kept = segment(*main, "E")->secol();
    const std::pair<QString, std::function<void()>> steps[] = {
        {"added", [] {}},
        {"linked by hand", [&] { segment(*main, "A")->setObjFollowedBy(segment(*main, "D")); }},
        {"part-of written through a field handed out",
         [&] { segment(*main, "B")->firstNamed("partofvideo")->vContent = segment(*main, "D")->strGUID(); }},
        {"part-of written through a list kept", [&] { kept->find("partofvideo")->vContent = segment(*main, "C")->strGUID(); }},
        {"renamed, then put back",
         [&] {
             auto state = segment(*main, "D")->savedState();
             segment(*main, "D")->RenameAllRelativesGUID(main->strGUID(), path("Film_files/Other.xml"));
             check(*doc);
             segment(*main, "D")->restoreState(state);
         }},
        {"removed", [&] { main->RemoveSubExpressionsByPointer({segment(*main, "C1"), segment(*main, "B")}); }},
        {"saved and opened again", [&] { ASSERT_TRUE(doc->bSave()); check(*open("Film.xml")); }},
    };
    for (const auto& [what, op] : steps) {
        SCOPED_TRACE(what.toStdString());
        op();
        check(*doc);
    }
    // A removed Version, or an object registered twice: only the walk can tell.
    std::vector<std::shared_ptr<RegistryItem>> found;
    EXPECT_FALSE(doc->references().bFindHolders(doc->collObjects(), RemovedObjects({ver}), found));
    doc->collObjects().Add(main);
    EXPECT_FALSE(doc->references().bFindHolders(doc->collObjects(), RemovedObjects({segment(*main, "A")}), found));
    doc->collObjects().RemoveItem(main);
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(ExpressionTest, NeighbourIsTheSmallestGapAndTiesGoToTheLaterSegment)
{
    walk("Video", {
        add("A", 0, 10, "A[0,10]"),
        add("D", 0, 5, "A[0,10] | D[0,5]"),
        // Gap 0 to A beats gap 5 to D, though D is later in the collection.
        add("C", 10, 15, "A[0,10]>C C[10,15] | D[0,5]"),
        add("E", 5, 15, "A[0,10]>C C[10,15] | D[0,5]>E E[5,15]"),
        // C and E both end at 15: the later, E, takes F; C keeps its link.
        add("F", 15, 20, "A[0,10]>C C[10,15] | D[0,5]>E E[5,15]>F F[15,20]"),
    });
}

TEST_F(ExpressionTest, NeighboursFollowSpansHoweverTheyWereChanged)
{
    // After each change, new segments are linked between the neighbours a
    // walk of the segment list finds: the smallest gap, ties to the later.
    const auto main = newMain("Video");
    for (int i = 0; i < 6; ++i)
        main->AddSubExpression(QString(QChar('A' + i)), 10 * i, 10 * i + 5);
    const auto walked = [&](double start, double end) {
        std::shared_ptr<Expression> previous, next;
        for (const auto& s : main->colSubExpressions())
            if (const Chunk* c = s->spanPeek()) {
                if (c->dend <= start && (!previous || start - c->dend <= start - previous->spanPeek()->dend))
                    previous = s;
                if (c->dStart >= end && (!next || c->dStart - end <= next->spanPeek()->dStart - end))
                    next = s;
            }
        return std::pair(previous, next == previous ? nullptr : next);
    };
    std::shared_ptr<Chunk> held;
    DocObject::SavedState saved;
    const double far = std::ldexp(1.0, 62); // every end before it is the same gap away
    const std::pair<QString, std::function<void()>> steps[] = {
        {"added", [] {}},
        {"moved", [&] { segment(*main, "B")->SetChunk(52, 53); }},
        {"changed in place, then let go", [&] { *segment(*main, "C")->ckGetChunk() = Chunk{70, 71, {}}; }},
        {"taken", [&] { held = segment(*main, "D")->ckGetChunk(); }},
        {"changed in place while held", [&] { *held = Chunk{3, 4, {}}; }},
        {"unassigned through the field list", [&] { segment(*main, "E")->secol()->find("Time")->bValid = false; }},
        {"replaced through a field", [&] { segment(*main, "F")->firstNamed("Time")->vContent = std::make_shared<Chunk>(Chunk{80, 90, {}}); }},
        {"saved, moved and put back",
         [&] {
             saved = segment(*main, "A")->savedState();
             segment(*main, "A")->SetChunk(95, 96);
             segment(*main, "A")->restoreState(saved);
         }},
        {"no number", [&] { segment(*main, "B")->SetChunk(std::nan(""), std::nan("")); }},
        {"an early one listed last", [&] { main->AddSubExpression("G", 1, 2); }},
    };
    for (const auto& [what, op] : steps) {
        op();
        for (const auto& [start, end] : {std::pair(5.0, 9.0), {56.0, 57.0}, {30.0, 30.0}, {far, far + 1000}}) {
            SCOPED_TRACE(QString("%1, new [%2,%3]").arg(what).arg(start).arg(end).toStdString());
            const auto [previous, next] = walked(start, end);
            main->AddSubExpression("New", start, end);
            const auto added = main->colSubExpressions().Item(main->colSubExpressions().Count());
            EXPECT_EQ(added->objFollowedBy(), next);
            if (previous)
                EXPECT_EQ(previous->objFollowedBy(), added);
            main->RemoveSubExpressionByPointer(added);
        }
    }
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(ExpressionTest, SpanHeldBeforeTheSegmentsAreOrderedIsLookedAtAgain)
{
    // Read from files, the segments are ordered by time only when asked; a
    // span taken before that and changed after it still decides.
    auto main = newMain("Video");
    for (int i = 0; i < 4; ++i)
        main->AddSubExpression(QString(QChar('A' + i)), 10 * i, 10 * i + 5);
    ASSERT_TRUE(doc->bSave());
    const auto reopened = open("Film.xml");
    main = mainOf(*std::dynamic_pointer_cast<Version>(reopened->colChilds().Item(1)), "Video");
    ASSERT_NE(main, nullptr);
    const auto held = segment(*main, "B")->ckGetChunk();
    main->PrepareForSegmenting();
    *held = Chunk{40, 41, {}};
    main->AddSubExpression("Late", 42, 43);
    main->AddSubExpression("Early", 6, 7);
    EXPECT_EQ(segment(*main, "B")->objFollowedBy(), segment(*main, "Late"));
    EXPECT_EQ(segment(*main, "Early")->objFollowedBy(), segment(*main, "C"));
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(ExpressionTest, ExpressionsThatCannotBeMadeAddNothing)
{
    const auto main = newMain("Video");
    main->AddSubExpression("A", 0, 10);
    ASSERT_TRUE(doc->bSave());
    const int count = doc->collObjects().Count();

    ver->AddMainExpression("Picture", "Picture", 0, 10); // no such kind
    EXPECT_EQ(doc->collObjects().Count(), count);
    EXPECT_TRUE(prompts.calls.empty());

    // The object folder cannot be made: a file stands in its place.
    write("blocker", "a file where a folder should be");
    doc->setStrGUID(path("blocker/Film.xml"));
    ver->AddMainExpression("Sound", "Audio", 0, 10);
    main->AddSubExpression("B", 10, 20);
    ASSERT_EQ(prompts.calls.size(), 2u);
    for (const auto& call : prompts.calls) {
        EXPECT_TRUE(call.text.startsWith("Unable to create directory:"));
        EXPECT_EQ(call.icon, Prompts::NoIcon);
    }
    EXPECT_EQ(doc->collObjects().Count(), count);
    EXPECT_EQ(ver->auMainAudio(), nullptr);
    EXPECT_EQ(chainOf(*main), "A[0,10]");
    EXPECT_FALSE(segment(*main, "A")->bChanged());
}

TEST_F(ExpressionTest, NoSpanEndingBeforeItStartsIsMadeOrWritten)
{
    const auto main = newMain("Video");
    main->AddSubExpression("A", 10, 20);
    ASSERT_TRUE(doc->bSave());
    const auto a = segment(*main, "A");
    const QByteArray written = readFile(a->strGUID());
    const int count = doc->collObjects().Count();

    // Made through the model: refused, saying so for a new expression.
    EXPECT_FALSE(a->SetChunk(20, 10));
    EXPECT_TRUE(a->SetChunk(15, 15));
    main->AddSubExpression("Backwards", 30, 25);
    ver->AddMainExpression("Sound", "Audio", 8, 2);
    EXPECT_EQ(prompts.messages(), QStringList({text(msg::InvalidTimeInterval), text(msg::InvalidTimeInterval)}));
    EXPECT_EQ(doc->collObjects().Count(), count);
    EXPECT_EQ(ver->auMainAudio(), nullptr);
    EXPECT_EQ(chainOf(*main), "A[15,15]");

    // Changed in place by whoever holds it: the save stops, names the file
    // and leaves it as it was.
    prompts.calls.clear();
    *a->ckGetChunk() = Chunk{20, 10, {}};
    EXPECT_FALSE(doc->bSave());
    EXPECT_EQ(prompts.messages(),
              QStringList({a->strGUID() + " " + text(msg::TimeEndsBeforeStart), text(msg::ObjectsNotSaved)}));
    EXPECT_EQ(readFile(a->strGUID()), written);
    EXPECT_TRUE(a->SetChunk(10, 20));
    EXPECT_TRUE(doc->bSave());
}

TEST_F(ExpressionTest, TranscriptSegmentsCutTheirWordsFromTheirParent)
{
    // Both bounds are included, and the list's own order is kept.
    auto words = std::make_shared<WordColl>();
    words->Add("", "", 14, 15, "late");
    words->Add("", "", 4, 6, "crossing");
    words->Add("", "", 5, 6, "early");
    words->Add("", "", 14, 16, "overrunning");
    words->Add("", "", 7, 7, "instant");
    const auto textsOf = [](const std::shared_ptr<WordColl>& list) {
        QStringList out;
        for (const auto& w : *list)
            out << w->strTxt + (w->strStart.isEmpty() && w->strEnd.isEmpty() ? "" : "?");
        return out;
    };
    EXPECT_EQ(textsOf(Transcript::wcNewWordList(*words, Chunk{5, 15, {}})), QStringList({"late", "early", "instant"}));
    EXPECT_EQ(textsOf(Transcript::wcNewWordList(*words, Chunk{7, 7, {}})), QStringList({"instant"}));

    // A new transcript has an empty list, which reads back as none.
    auto main = std::dynamic_pointer_cast<Transcript>(newMain("Transcript"));
    ASSERT_NE(main->WordList(), nullptr);
    EXPECT_EQ(main->WordList()->Count(), 0);
    ASSERT_TRUE(doc->bSave());
    const auto reopened = open("Film.xml");
    main = std::dynamic_pointer_cast<Transcript>(
        std::dynamic_pointer_cast<Version>(reopened->colChilds().Item(1))->trMainTranscript());
    EXPECT_EQ(main->WordList(), nullptr);
    // Its segments still get a list: an empty one.
    main->AddSubExpression("Silent", 0, 10);
    const auto silent = std::dynamic_pointer_cast<Transcript>(segment(*main, "Silent"));
    ASSERT_NE(silent->WordList(), nullptr);
    EXPECT_EQ(silent->WordList()->Count(), 0);

    // A segment of a segment cuts from its parent's own list.
    main->setWordList(words);
    main->AddSubExpression("Middle", 5, 15);
    const auto middle = std::dynamic_pointer_cast<Transcript>(segment(*main, "Middle"));
    EXPECT_EQ(textsOf(middle->WordList()), QStringList({"late", "early", "instant"}));
    middle->WordList()->Remove(1);
    middle->AddSubExpression("Inner", 5, 15);
    EXPECT_EQ(textsOf(std::dynamic_pointer_cast<Transcript>(segment(*middle, "Inner"))->WordList()),
              QStringList({"early", "instant"}));
    EXPECT_EQ(words->Count(), 5);
    EXPECT_TRUE(prompts.calls.empty());
}

TEST_F(ExpressionTest, NewSegmentTakesInNoStrayFileNamingItsIdentifier)
{
    const auto main = newMain("Video");
    main->AddSubExpression("A", 0, 5);
    ASSERT_TRUE(doc->bSave());
    // Files left by someone else, each naming as its parent one of the
    // identifiers the next segments may be given.
    const QString first = segment(*main, "A")->strGUID();
    QRegularExpressionMatch number;
    ASSERT_TRUE(first.contains(QRegularExpression("(\\d+)\\.xml$"), &number));
    for (int n = number.captured(1).toInt() + 1, i = 0; i < 20; ++n, ++i) {
        QString parent = first;
        parent.replace(number.capturedStart(1), number.capturedLength(1), QString::number(n));
        writeExpr(QString("Stray%1.xml").arg(i), "Video", "Stray", "<partofvideo>" + parent + "</partofvideo>", 50, 60);
    }
    main->AddSubExpression("B", 10, 15);
    ASSERT_NE(segment(*main, "B"), nullptr);
    EXPECT_TRUE(segment(*main, "B")->colSubExpressions().isEmpty());
    for (const auto& item : doc->collObjects())
        if (const auto expr = std::dynamic_pointer_cast<Expression>(item))
            EXPECT_NE(expr->strTitle(), "Stray") << expr->strGUID().toStdString();
    EXPECT_EQ(chainOf(*main), "A[0,5]>B B[10,15]");
    EXPECT_TRUE(prompts.calls.empty());
}
