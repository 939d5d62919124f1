#pragma once

#include "editor/PaneModel.h"
#include "editor/SetOfLabelsModel.h"

#include <memory>
#include <vector>

namespace vimra {

class Subtheme;
class Theme;
class TolvThematicKeywords;

// The cross-language thematic fields of the document form, without widgets:
// the consistency check, the label lists of the theme and subtheme combos,
// the keyword rows, the resets a new theme or subtheme asks for, and what
// OK adds to the pane's commit. Values stay English names throughout; the
// controls show them as labels of the chosen language.
class CrossLanguageModel {
public:
    enum class Role { None, Themes, Subthemes, Keywords };

    // The fields the check and the routing look for.
    static QString strThemes() { return QStringLiteral("Themes"); }
    static QString strSubthemes() { return QStringLiteral("Subthemes"); }
    static QString strKeywords() { return QStringLiteral("ThematicKeywords"); }
    // The questions of a reset (fixed English texts).
    static QString strThemeQuestion();
    static QString strSubthemeQuestion();

    // Whether the document form edits the thematic fields cross-language:
    // a language is chosen and the vocabulary loaded.
    static bool bActive();

    // Whether the stored theme, subtheme and keywords exist in the vocabulary
    // and belong together; walks every field in schema order, whether shown
    // or not. Sets the current theme and subtheme.
    bool bCheckCLConsistency(const SEColl& secol, std::shared_ptr<const TolvThematicKeywords> vocabulary);

    // After the pane has built its fields from the document (and after the
    // check): the shown thematic fields become label combos and a keyword
    // control in language iLang.
    void Route(PaneModel& pane, int iLang);
    Role roleOf(const PaneField& field) const;

    QString strCurTheme() const { return m_strCurTheme; }
    QString strCurSubtheme() const { return m_strCurSubtheme; }
    const LabelList& themes() const { return m_themes; }
    const LabelList& subthemes() const { return m_subthemes; }
    // The entries the combos show; -1 for none (or no such combo).
    int iThemeShown() const;
    int iSubthemeShown() const;
    // The keyword rows; nullptr when the form has no keyword control.
    std::shared_ptr<SetOfLabelsModel> keywords() const;

    // The user picked entry j of the theme or subtheme combo. A new one is
    // confirmed first; Yes resets what depends on it, No keeps what was shown.
    void ThemePicked(int j);
    void SubthemePicked(int j);

    // OK: the pane's commit, after which every editable thematic field
    // counts as changed.
    void Commit(SEColl& secol, const std::shared_ptr<DocObject>& obj) const;

private:
    PaneField* field(int index) const;
    // The current theme (subtheme) becomes the first of that English name.
    bool bFindTheme(const QString& strTheme);
    bool bFindSubtheme(const QString& strSubtheme);
    LabelList currentKeywords() const;
    void AssignKeywords();

    std::shared_ptr<const TolvThematicKeywords> m_vocabulary;
    QString m_strCurTheme;
    QString m_strCurSubtheme;
    std::shared_ptr<const Theme> m_curTheme;
    std::shared_ptr<const Subtheme> m_curSubtheme;

    int m_iLang = 0;
    PaneModel* m_pane = nullptr;
    std::vector<int> m_routed; // indexes into the pane's fields
    int m_iTheme = -1;
    int m_iSubtheme = -1;
    int m_iKeywords = -1;
    LabelList m_themes;
    LabelList m_subthemes;
};

} // namespace vimra
