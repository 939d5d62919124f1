#include "document/Transcript.h"

namespace vimra {

namespace {
const QString kWordList = QStringLiteral("transcriptwordlist");
} // namespace

std::shared_ptr<WordColl> Transcript::WordList() const
{
    const auto field = firstLowerNamed(kWordList);
    return field && field->bValid ? valueObject<WordColl>(field->vContent) : nullptr;
}

void Transcript::setWordList(const std::shared_ptr<WordColl>& words)
{
    const auto& secol = ownFields();
    if (!secol)
        return;
    for (const auto& field : *secol) {
        if (field->strName.toLower() != kWordList)
            continue;
        field->vContent = words;
        field->bChanged = true;
        field->bValid = true;
    }
}

std::shared_ptr<WordColl> Transcript::wcNewWordList(const WordColl& words, const Chunk& chunk)
{
    auto result = std::make_shared<WordColl>();
    for (const auto& word : words)
        if (word->dStart >= chunk.dStart && word->dend <= chunk.dend)
            result->Add(QString(), QString(), word->dStart, word->dend, word->strTxt);
    return result;
}

std::shared_ptr<Expression> Transcript::objTranscript() const
{
    return std::static_pointer_cast<Expression>(std::const_pointer_cast<RegistryItem>(shared_from_this()));
}

void Transcript::afterInit()
{
    Expression::afterInit();
    setWordList(std::make_shared<WordColl>());
}

void Transcript::segmentTimed(Expression& segment)
{
    auto& cut = static_cast<Transcript&>(segment);
    // Without a list to cut from (a transcript without words read back from
    // its file) or a span, the segment still gets a list: an empty one.
    const auto words = WordList();
    const auto chunk = cut.ckGetChunk();
    cut.setWordList(words && chunk ? wcNewWordList(*words, *chunk) : std::make_shared<WordColl>());
}

} // namespace vimra
