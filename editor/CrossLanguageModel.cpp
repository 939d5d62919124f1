#include "editor/CrossLanguageModel.h"

#include "platform/Prompts.h"
#include "records/AppState.h"
#include "records/ThematicKeywords.h"

namespace vimra {

QString CrossLanguageModel::strThemeQuestion()
{
    return QStringLiteral("This will reset the fields Subthemes and ThematicKeywords, would like to continue?");
}

QString CrossLanguageModel::strSubthemeQuestion()
{
    return QStringLiteral("This will reset the ThematicKeywords, would like to continue?");
}

bool CrossLanguageModel::bActive()
{
    // Without a vocabulary there is nothing to translate: the fields stay
    // plain, as with cross-language switched off.
    const int iLang = appState().iCrossLanguage;
    return iLang >= 0 && iLang <= 4 && appState().objThematicKeywords;
}

bool CrossLanguageModel::bFindTheme(const QString& strTheme)
{
    m_curTheme = nullptr;
    for (const auto& theme : m_vocabulary->colThemes())
        if (theme->strEnglish() == strTheme) {
            m_curTheme = theme;
            m_strCurTheme = strTheme;
            return true;
        }
    return false;
}

bool CrossLanguageModel::bFindSubtheme(const QString& strSubtheme)
{
    m_curSubtheme = nullptr;
    if (!m_curTheme)
        return false;
    for (const auto& subtheme : m_curTheme->colSubthemes())
        if (subtheme->strEnglish() == strSubtheme) {
            m_curSubtheme = subtheme;
            m_strCurSubtheme = strSubtheme;
            return true;
        }
    return false;
}

bool CrossLanguageModel::bCheckCLConsistency(const SEColl& secol,
                                             std::shared_ptr<const TolvThematicKeywords> vocabulary)
{
    m_vocabulary = std::move(vocabulary);
    bool bThemeFound = false;
    bool bSubthemeFound = false;
    bool bAllKeywordsFound = false;
    for (const auto& el : secol) {
        if (el->strName == strThemes()) {
            bThemeFound = bFindTheme(valueToText(el->vContent));
        } else if (el->strName == strSubthemes()) {
            if (!bThemeFound)
                return false;
            bSubthemeFound = bFindSubtheme(valueToText(el->vContent));
        } else if (el->strName == strKeywords()) {
            if (!bSubthemeFound)
                return false;
            // A field without a list (never assigned, or emptied by an
            // earlier OK) is an empty set.
            const auto list = valueObject<StringList>(el->vContent);
            const LabelList keywords(m_curSubtheme->colKeywords(), 0);
            int n = 0;
            for (int i = 1; list && i <= list->Count(); ++i)
                n += keywords.iShown(list->Item(i)) >= 0;
            bAllKeywordsFound = n == (list ? list->Count() : 0);
        }
    }
    return bAllKeywordsFound || (!bThemeFound && !bSubthemeFound);
}

LabelList CrossLanguageModel::currentKeywords() const
{
    return m_curSubtheme ? LabelList(m_curSubtheme->colKeywords(), m_iLang) : LabelList();
}

void CrossLanguageModel::Route(PaneModel& pane, int iLang)
{
    m_pane = &pane;
    m_iLang = iLang;
    m_routed.clear();
    m_iTheme = m_iSubtheme = m_iKeywords = -1;
    if (!m_vocabulary)
        return; // not checked: the fields stay plain
    m_themes = LabelList(m_vocabulary->colThemes(), iLang);
    m_subthemes = m_curTheme ? LabelList(m_curTheme->colSubthemes(), iLang) : LabelList();
    auto& fields = pane.fields();
    for (int i = 0; i < int(fields.size()); ++i) {
        PaneField& f = fields[i];
        if (f.tyType == tyString && f.strName == strThemes())
            m_iTheme = i;
        else if (f.tyType == tyString && f.strName == strSubthemes())
            m_iSubtheme = i;
        else if (f.tyType == tySetOfStrings && f.strName == strKeywords()) {
            const QStringList stored = f.set ? f.set->strings() : QStringList();
            auto set = std::make_shared<SetOfLabelsModel>();
            const TwipsRect r = PaneModel::controlRect(1, tySetOfStrings);
            set->Resize(r.width, r.height);
            set->AssignItems(currentKeywords());
            set->Init(int(stored.size()));
            for (int row = 1; row <= int(stored.size()); ++row)
                set->setStrng(row, stored[row - 1]);
            set->setEnabled(!f.bReadOnly);
            f.set = set;
            m_iKeywords = i;
        } else
            continue;
        m_routed.push_back(i);
    }
}

PaneField* CrossLanguageModel::field(int index) const
{
    return m_pane && index >= 0 && index < int(m_pane->fields().size()) ? &m_pane->fields()[index] : nullptr;
}

CrossLanguageModel::Role CrossLanguageModel::roleOf(const PaneField& f) const
{
    if (&f == field(m_iTheme))
        return Role::Themes;
    if (&f == field(m_iSubtheme))
        return Role::Subthemes;
    if (&f == field(m_iKeywords))
        return Role::Keywords;
    return Role::None;
}

int CrossLanguageModel::iThemeShown() const
{
    const PaneField* f = field(m_iTheme);
    return f ? m_themes.iShown(f->strText) : -1;
}

int CrossLanguageModel::iSubthemeShown() const
{
    const PaneField* f = field(m_iSubtheme);
    return f ? m_subthemes.iShown(f->strText) : -1;
}

std::shared_ptr<SetOfLabelsModel> CrossLanguageModel::keywords() const
{
    const PaneField* f = field(m_iKeywords);
    return f ? std::static_pointer_cast<SetOfLabelsModel>(f->set) : nullptr;
}

void CrossLanguageModel::AssignKeywords()
{
    if (const auto set = keywords())
        set->AssignItems(currentKeywords());
}

void CrossLanguageModel::ThemePicked(int j)
{
    PaneField* theme = field(m_iTheme);
    if (!theme || j < 0 || j >= m_themes.Count())
        return;
    const QString e = m_themes.strPicked(theme->strText, j);
    if (e != m_strCurTheme) {
        if (prompts().MsgBox(strThemeQuestion(), Prompts::YesNo, Prompts::NoIcon) != Prompts::Yes)
            return;
        // The new theme's first subtheme, or none when it has no subthemes.
        bFindTheme(e);
        m_subthemes = m_curTheme ? LabelList(m_curTheme->colSubthemes(), m_iLang) : LabelList();
        bFindSubtheme(m_subthemes.strEnglish(0));
        if (!m_curSubtheme)
            m_strCurSubtheme.clear();
        if (PaneField* subtheme = field(m_iSubtheme))
            subtheme->strText = m_strCurSubtheme;
        AssignKeywords();
    }
    theme->strText = e;
}

void CrossLanguageModel::SubthemePicked(int j)
{
    PaneField* subtheme = field(m_iSubtheme);
    if (!subtheme || j < 0 || j >= m_subthemes.Count())
        return;
    const QString e = m_subthemes.strPicked(subtheme->strText, j);
    if (e != m_strCurSubtheme) {
        if (prompts().MsgBox(strSubthemeQuestion(), Prompts::YesNo, Prompts::NoIcon) != Prompts::Yes)
            return;
        bFindSubtheme(e);
        AssignKeywords();
    }
    subtheme->strText = e;
}

void CrossLanguageModel::Commit(SEColl& secol, const std::shared_ptr<DocObject>& obj) const
{
    if (!m_pane)
        return;
    // Which fields OK may write is decided before the pane writes them: an
    // emptied keyword set leaves its field unassigned.
    std::vector<SEColl::Record> written;
    for (int i : m_routed)
        if (const auto el = secol.Item(m_pane->fields()[i].iTag); el->bValid && !el->bReadOnly)
            written.push_back(el);
    m_pane->Commit(secol, obj);
    for (const auto& el : written)
        el->bChanged = true;
}

} // namespace vimra
