#include "records/ThematicKeywords.h"

#include "platform/Prompts.h"
#include "platform/Xml.h"
#include "records/AppState.h"
#include "records/Procedures.h"
#include "records/Settings.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

namespace vimra {

namespace {

// Names are compared without their prefix, exactly and with case.
QString localPart(const QString& name)
{
    const int colon = name.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? name : name.mid(colon + 1);
}

QString attributeByLocalName(const xml::Node& element, const QString& name)
{
    for (const auto& [attrName, value] : element.attributes())
        if (localPart(attrName) == name)
            return value;
    return {};
}

// Inside Theme and Subtheme only elements belong; comments and processing
// instructions are annotation and are passed over (blank text never reaches
// us), anything else is handed to the child reader, which rejects it.
bool isAnnotation(const xml::Node& node)
{
    return node.isComment() || node.isProcessingInstruction();
}

bool isElementNamed(const xml::Node& node, const QString& name)
{
    return node.isElement() && node.localName() == name;
}

// Reads every entry below `element` into `entries`: an entry's own error
// comes first, then its missing English name (`noEnglishMsg`).
template <class Entry>
QString readEntries(const xml::Node& element, Coll<std::shared_ptr<Entry>>& entries, int noEnglishMsg)
{
    entries.Clear();
    for (const xml::Node& child : element.children()) {
        if (isAnnotation(child))
            continue;
        auto entry = std::make_shared<Entry>();
        const QString err = entry->strSetFromDOMElement(child);
        if (!err.isEmpty())
            return err;
        if (entry->strEnglish().isEmpty())
            return text(noEnglishMsg);
        entries.Add(entry);
    }
    return {};
}

} // namespace

// ---- labels ----

QString ThematicLabels::strLocalLang(int iLang) const
{
    QString label;
    switch (iLang) {
    case 1: label = m_strItalian; break;
    case 2: label = m_strDutch; break;
    case 3: label = m_strGerman; break;
    case 4: label = m_strFrench; break;
    default: break;
    }
    return label.isEmpty() ? m_strEnglish : label;
}

void ThematicLabels::CopyLabels(const xml::Node& element)
{
    m_strFrench = attributeByLocalName(element, QStringLiteral("French"));
    m_strItalian = attributeByLocalName(element, QStringLiteral("Italian"));
    m_strGerman = attributeByLocalName(element, QStringLiteral("German"));
    m_strDutch = attributeByLocalName(element, QStringLiteral("Dutch"));
    m_strEnglish = attributeByLocalName(element, QStringLiteral("English"));
}

// ---- entries ----

QString ThematicKeyword::strSetFromDOMElement(const xml::Node& element)
{
    if (!isElementNamed(element, QStringLiteral("Keyword")))
        return text(msg::SubthemeOnlyKeywords);
    CopyLabels(element);
    return {};
}

QString Subtheme::strSetFromDOMElement(const xml::Node& element)
{
    if (!isElementNamed(element, QStringLiteral("Subtheme")))
        return text(msg::ThemeOnlySubthemes);
    CopyLabels(element);
    return readEntries(element, m_colKeywords, msg::KeywordNoEnglish);
}

QString Theme::strSetFromDOMElement(const xml::Node& element)
{
    CopyLabels(element);
    return readEntries(element, m_colSubthemes, msg::SubthemeNoEnglish);
}

// ---- the vocabulary ----

QString TolvThematicKeywords::strSetFromRootElement(const xml::Node& root)
{
    if (!isElementNamed(root, QStringLiteral("TolvThematicKeywords")))
        return text(msg::VocabularyRootNotFound);
    // Filled aside so that a failure never leaves a partial vocabulary.
    Coll<std::shared_ptr<Theme>> themes;
    for (const xml::Node& child : root.children()) {
        if (!isElementNamed(child, QStringLiteral("Theme")))
            continue;
        auto theme = std::make_shared<Theme>();
        const QString err = theme->strSetFromDOMElement(child);
        if (!err.isEmpty())
            return err;
        if (theme->strEnglish().isEmpty())
            return text(msg::ThemeNoEnglish);
        themes.Add(theme);
    }
    m_colThemes = std::move(themes);
    return {};
}

bool TolvThematicKeywords::bSetFromXMLFile(const QString& strPath)
{
    m_colThemes.Clear();
    xml::Document doc;
    // Without a settings file, or a path in it, there is no file to name.
    if (strPath.isEmpty()) {
        prompts().MsgBox(strFailedOn(text(msg::ThematicKeywordsLoadError), settingsFilePath(),
                                     text(msg::NoVocabularyInSettings)),
                         Prompts::OKOnly, Prompts::NoIcon);
        return false;
    }
    // The document validates itself against the DTD it declares.
    if (!doc.loadWithOwnDtd(strPath)) {
        prompts().MsgBox(strFailedOn(text(msg::ThematicKeywordsLoadError), strPath, doc.parseErrorReason()),
                         Prompts::OKOnly, Prompts::NoIcon);
        return false;
    }
    const QString err = strSetFromRootElement(doc.documentElement());
    if (!err.isEmpty()) {
        prompts().MsgBox(err, Prompts::OKOnly, Prompts::NoIcon);
        return false;
    }
    return true;
}

// ---- start-up ----

void LoadThematicKeywords(const QString& strPath)
{
    auto vocabulary = std::make_shared<TolvThematicKeywords>();
    if (vocabulary->bSetFromXMLFile(strPath)) {
        appState().objThematicKeywords = vocabulary;
        return;
    }
    appState().objThematicKeywords.reset();
    prompts().MsgBox(text(msg::ThematicKeywordsUnavailable), Prompts::OKOnly, Prompts::NoIcon);
}

void LoadThematicKeywords()
{
    LoadThematicKeywords(strGetThematicKeywordsPath());
}

} // namespace vimra
