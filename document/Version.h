#pragma once

#include "document/ParentObject.h"

namespace vimra {

class Expression;

// One version of the audio-visual document; names its Media in the relation
// field manifestedby and keeps the duration of its media in Duration.
class Version : public ParentObject {
public:
    using ParentObject::ParentObject;

    QString className() const override { return QStringLiteral("Version"); }

    void AddManifestedBy(const QString& strGUID) { addRelation(strGUID); }
    void RemoveManifestedBy(const QString& strGUID) { removeRelation(strGUID); }

    // The duration in seconds: the end of the Duration chunk, 0 without one.
    double dDuration() const;
    // Always marks Duration changed, even for the same duration.
    void setDDuration(double seconds);
    // Sets the duration to 0 once no Media has a Storage left.
    void ResetDuration();
    bool bCheckForSorages() const;

    // The main expressions, in memory only: each names the Version in its own file.
    std::shared_ptr<Expression> vdMainVideo() const { return m_mainVideo; }
    std::shared_ptr<Expression> auMainAudio() const { return m_mainAudio; }
    std::shared_ptr<Expression> trMainTranscript() const { return m_mainTranscript; }
    // The media file the expressions play: the selected Storage's location,
    // else the first location given.
    QString strGetMediaObjectPath() const;
    // Makes a new main expression of `strKind` ("Video", "Audio" or
    // "Transcript"; any other kind makes nothing) in place of the current
    // one; a failure is shown and changes nothing.
    void AddMainExpression(const QString& strTitle, const QString& strKind, double dStart, double dEnd);
    // Takes the main expressions from the document folder; of two of one
    // kind the later in the folder wins.
    void OpenExpressions();

    void RemoveReferenceObj(const std::shared_ptr<RegistryItem>& obj) override;
    // The Media subtrees, then the main Video's, Audio's and Transcript's, then the Version.
    std::optional<SubTree> colSelSubTree() override;

protected:
    QString strGUIDElement() const override { return QStringLiteral("VersionGUID"); }
    QString strTitleElement() const override { return QStringLiteral("VersionTitle"); }
    QString strRelationName() const override { return QStringLiteral("manifestedby"); }
    QString strChildClass() const override { return QStringLiteral("Media"); }
    std::shared_ptr<DocObject> newChild() override;
    void openRelatives() override;

private:
    std::shared_ptr<Expression>* mainSlot(const QString& strKind);

    std::shared_ptr<Expression> m_mainVideo;
    std::shared_ptr<Expression> m_mainAudio;
    std::shared_ptr<Expression> m_mainTranscript;
};

} // namespace vimra
