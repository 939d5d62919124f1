#pragma once

#include "document/Expression.h"

namespace vimra {

// The text spoken in a Version, or a segment of it, with its timed words.
class Transcript : public Expression {
public:
    using Expression::Expression;

    QString className() const override { return QStringLiteral("Transcript"); }

    // The word list itself (not a copy); none when unassigned.
    std::shared_ptr<WordColl> WordList() const;
    // Stores the list in every word-list field, marked changed and assigned.
    void setWordList(const std::shared_ptr<WordColl>& words);
    // New copies of the words lying wholly inside the chunk, bounds
    // included, in list order.
    static std::shared_ptr<WordColl> wcNewWordList(const WordColl& words, const Chunk& chunk);

    // A transcript is its own transcript.
    std::shared_ptr<Expression> objTranscript() const override;
    bool bHasTranscript() const override { return true; }
    void OpenTranscript() override {}

protected:
    QString strGUIDElement() const override { return QStringLiteral("TranscriptGUID"); }
    QString strTitleElement() const override { return QStringLiteral("Title"); }
    QString strPartOfName() const override { return QStringLiteral("partoftranscript"); }
    QString strFollowedByName() const override { return QStringLiteral("followedbytranscript"); }

    // A new transcript starts with an empty word list.
    void afterInit() override;
    // A new segment cuts its words from this transcript's own list.
    void segmentTimed(Expression& segment) override;
};

} // namespace vimra
