#pragma once

#include "records/Coll.h"

#include <QString>

#include <memory>

namespace vimra {

namespace xml {
class Node;
}

// The five labels every entry of the vocabulary carries. Documents store the
// English label; the windows show the one of the chosen cross-language.
class ThematicLabels {
public:
    QString strDutch() const { return m_strDutch; }
    void setStrDutch(const QString& value) { m_strDutch = value; }
    QString strGerman() const { return m_strGerman; }
    void setStrGerman(const QString& value) { m_strGerman = value; }
    QString strItalian() const { return m_strItalian; }
    void setStrItalian(const QString& value) { m_strItalian = value; }
    QString strFrench() const { return m_strFrench; }
    void setStrFrench(const QString& value) { m_strFrench = value; }
    QString strEnglish() const { return m_strEnglish; }
    void setStrEnglish(const QString& value) { m_strEnglish = value; }

    // The label in cross-language iLang (0 English, 1 Italian, 2 Dutch,
    // 3 German, 4 French); English for any other index (5 = cross-language
    // disabled) and whenever the chosen label is empty.
    QString strLocalLang(int iLang) const;

protected:
    // Copies the English, Italian, Dutch, German and French attributes
    // (matched by local name); an absent attribute gives an empty label.
    void CopyLabels(const xml::Node& element);

private:
    QString m_strDutch;
    QString m_strGerman;
    QString m_strItalian;
    QString m_strFrench;
    QString m_strEnglish;
};

class ThematicKeyword : public ThematicLabels {
public:
    // Fills the keyword from a Keyword element; "" or the error message.
    QString strSetFromDOMElement(const xml::Node& element);
};

class Subtheme : public ThematicLabels {
public:
    const Coll<std::shared_ptr<ThematicKeyword>>& colKeywords() const { return m_colKeywords; }
    // Fills the subtheme and its keywords; "" or the first error message.
    QString strSetFromDOMElement(const xml::Node& element);

private:
    Coll<std::shared_ptr<ThematicKeyword>> m_colKeywords;
};

class Theme : public ThematicLabels {
public:
    const Coll<std::shared_ptr<Subtheme>>& colSubthemes() const { return m_colSubthemes; }
    // Fills the theme and its subthemes; "" or the first error message.
    QString strSetFromDOMElement(const xml::Node& element);

private:
    Coll<std::shared_ptr<Subtheme>> m_colSubthemes;
};

// The cross-language thematic keyword vocabulary: themes, subthemes, keywords,
// in file order.
class TolvThematicKeywords {
public:
    const Coll<std::shared_ptr<Theme>>& colThemes() const { return m_colThemes; }

    // Reads the whole vocabulary from a ThematicKeywords.xml file. On failure
    // the reason has been shown in a message box, the answer is false and
    // colThemes is left empty.
    bool bSetFromXMLFile(const QString& strPath);

private:
    QString strSetFromRootElement(const xml::Node& root);

    Coll<std::shared_ptr<Theme>> m_colThemes;
};

// Start-up: reads the vocabulary named by the ThematicKeywordsPath setting into
// appState().objThematicKeywords, which stays empty (after telling the user)
// when the file cannot be read completely.
void LoadThematicKeywords();
// The same from an explicit path.
void LoadThematicKeywords(const QString& strPath);

} // namespace vimra
