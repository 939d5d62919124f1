#include "editor/PaneModel.h"

#include "document/DocumentUi.h"

#include <cmath>

namespace vimra {

namespace {

// A stored date: a date value, or a text as a new field's default holds it.
QDate dateOf(const FieldValue& v)
{
    if (const QDate* d = std::get_if<QDate>(&v))
        return *d;
    if (const QString* s = std::get_if<QString>(&v)) {
        const QString t = s->trimmed();
        const QDate d = QDate::fromString(t, QStringLiteral("M/d/yyyy"));
        return d.isValid() ? d : QDate::fromString(t, Qt::ISODate);
    }
    return {};
}

// What a widget holds of a length set in twips: whole pixels.
double held(double twips) { return pixelsToTwips(twipsToPixels(twips)); }

} // namespace

QDate minPickerDate() { return QDate(1601, 1, 1); }
QDate maxPickerDate() { return QDate(9999, 12, 31); }

bool bBoolOf(const FieldValue& v)
{
    if (const bool* b = std::get_if<bool>(&v))
        return *b;
    if (const int* i = std::get_if<int>(&v))
        return *i != 0;
    if (const double* d = std::get_if<double>(&v))
        return *d != 0;
    if (const QString* s = std::get_if<QString>(&v))
        return s->compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || *s == QLatin1String("1");
    return false;
}

bool PaneField::bDiffers() const
{
    switch (tyType) {
    case tyDate: return dtDate != dtShown;
    case tyBool: return bChecked != bShown;
    case tySetOfStrings: return false; // compared with the field's own list
    default: return strText != strShown;
    }
}

FieldValue PaneField::vValue() const
{
    switch (tyType) {
    case tyDate: return dtDate;
    case tyBool: return bChecked ? 1 : 0;
    case tySetOfStrings: {
        auto list = std::make_shared<StringList>();
        for (const QString& s : set ? set->strings() : QStringList())
            list->Add(s);
        return list;
    }
    default: return strText;
    }
}

int PaneModel::iFrameMoves(int iCount) const
{
    // The form with its own tab keeps the one-tab canvas whatever the count.
    if (bOwnTab())
        return std::max(1, int(std::nearbyint(iCount / 10.0 + 1)));
    const double count = m_params.bSizeByAllAssigned ? iCount : iCount - 1;
    return int(std::nearbyint(count / 10.0));
}

TwipsRect PaneModel::frameRect(int p)
{
    const int row = (p - 1) % kFieldsPerTab;
    return {0, row * 1300.0 + 100, 7500, 1200};
}

TwipsRect PaneModel::controlRect(int p, int tyType)
{
    const double frameTop = frameRect(p).top;
    switch (tyType) {
    case tyDate: return {200, frameTop + 485, 1320, 330};
    case tyCloseList: return {200, frameTop + 200, 7000, kComboHeight};
    default: return {200, frameTop + 200, 7000, 900};
    }
}

void PaneModel::Build(const SEColl& secol, const CloseListRegistry* closeLists, int iFrameMoves,
                      double scaleWidth, double scaleHeight)
{
    const int n = secol.iNumValidAndReadable();
    m_iTabCount = int(bOwnTab()) + 1 + (n - 1) / kFieldsPerTab;
    m_iSelectedTab = 1;
    m_scaleWidth = scaleWidth;
    m_canvas = {0, 0, scaleWidth - kScrollWidth, scaleHeight - kHScrollHeight - 1000};
    m_viewport = {0, 400, scaleWidth, scaleHeight - 1600};
    m_okTop = m_cancelTop = scaleHeight - (kButtonHeight + 1600) / 2;
    if (iFrameMoves >= 1)
        m_canvas = {0, 0, kScrollWidth + 7700, kHScrollHeight + 13000};
    Layout(scaleWidth, scaleHeight);

    m_fields.clear();
    int k = 0;
    for (const auto& el : secol) {
        ++k;
        if (el->bValid && el->bIsHumanReadable() && !el->bIgnore)
            addField(*el, k, closeLists);
    }
    SelectTab(1);
}

void PaneModel::addField(const SchemaElement& el, int k, const CloseListRegistry* closeLists)
{
    PaneField f;
    f.iTag = k;
    f.tyType = el.tyType;
    f.strName = el.strName;
    f.strComment = el.strComment;
    f.bReadOnly = el.bReadOnly;
    switch (el.tyType) {
    case tyDate: {
        const QDate d = dateOf(el.vContent);
        f.dtShown = d.isValid() ? std::clamp(d, minPickerDate(), maxPickerDate()) : QDate(2001, 1, 1);
        f.dtDate = f.dtShown;
        break;
    }
    case tyBool:
        f.bShown = f.bChecked = bBoolOf(el.vContent);
        break;
    case tySetOfStrings: {
        // A field without a list still gets its (empty) control.
        const auto list = valueObject<StringList>(el.vContent);
        f.set = std::make_shared<SetOfStringsModel>();
        f.set->Resize(7000, 900);
        f.set->Init(list ? list->Count() : 0);
        for (int i = 1; list && i <= list->Count(); ++i)
            f.set->setStrng(i, list->Item(i));
        f.set->setEnabled(!el.bReadOnly);
        break;
    }
    case tyCloseList: {
        f.strShown = f.strText = valueToText(el.vContent);
        if (const auto* cl = closeLists ? closeLists->Find(el.strCloseList) : nullptr; cl && *cl && (*cl)->colItems)
            for (const QString& item : *(*cl)->colItems)
                f.colItems << item;
        // A value the list lacks (or a list the document lacks) is offered
        // as it is, so that OK keeps it.
        if (!f.strShown.isEmpty() && !f.colItems.contains(f.strShown))
            f.colItems << f.strShown;
        break;
    }
    default:
        f.strShown = f.strText = valueToText(el.vContent);
        break;
    }
    m_fields.push_back(std::move(f));
}

bool PaneModel::Layout(double scaleWidth, double scaleHeight)
{
    const double viewportWidth = held(m_viewport.width);
    const double viewportHeight = held(m_viewport.height);
    const double buttonTop = scaleHeight - (kButtonHeight + 1600) / 2 + 400;
    if (scaleHeight - 1600 <= 0 || viewportWidth - kScrollWidth - 50 <= 0
        || viewportHeight - 50 == held(m_vScroll.height) || buttonTop <= 0)
        return false;
    m_scaleWidth = scaleWidth;
    m_viewport = {0, 400, scaleWidth, scaleHeight - 1600};
    m_vScroll = {m_viewport.width - kScrollWidth - 50, 0, kScrollWidth, m_viewport.height - 50};
    m_iScrollMax = int(std::nearbyint(m_viewport.height - m_canvas.height));
    m_okTop = m_cancelTop = buttonTop;
    m_tabStrip = {0, 0, scaleWidth, scaleHeight - 1600};
    restoreScroll();
    return true;
}

QString PaneModel::strTabCaption(int t) const
{
    if (bOwnTab())
        return t == 1 ? m_params.strOwnTab : strTabKey(t - 1);
    return strTabKey(t);
}

void PaneModel::SelectTab(int t)
{
    m_iSelectedTab = std::clamp(t, 1, m_iTabCount);
    restoreScroll();
}

void PaneModel::restoreScroll()
{
    const auto it = m_iTabScroll.find(m_iSelectedTab);
    Scrolled(it == m_iTabScroll.end() ? 0 : it->second);
}

void PaneModel::Scrolled(int value)
{
    m_iScrollValue = clampToScrollRange(value, iScrollMin(), m_iScrollMax);
    m_iTabScroll[m_iSelectedTab] = m_iScrollValue;
    m_canvas.top = m_iScrollValue;
}

void PaneModel::Wheel(double rotation)
{
    if (bOwnTab() && m_iSelectedTab == 1)
        return;
    const int s = (rotation > 0) - (rotation < 0);
    int v = m_iScrollValue + s * kWheelStep;
    if (m_iScrollMax >= 1) {
        v = std::min(v, m_iScrollMax);
        v = std::max(v, iScrollMin());
    } else {
        v = std::max(v, m_iScrollMax);
        v = std::min(v, iScrollMin());
    }
    Scrolled(v);
}

void PaneModel::ScrollIntoView(int p)
{
    const TwipsRect frame = frameRect(p);
    const double shownTop = -m_iScrollValue;
    if (frame.top < shownTop)
        Scrolled(int(100 - frame.top));
    else if (frame.bottom() > shownTop + m_viewport.height)
        Scrolled(int(m_viewport.height - frame.bottom() - 100));
}

void PaneModel::Commit(SEColl& secol, const std::shared_ptr<DocObject>& obj) const
{
    for (const PaneField& f : m_fields) {
        const auto el = secol.Item(f.iTag);
        if (!el->bValid || el->bReadOnly)
            continue;
        if (el->tyType == tySetOfStrings) {
            const QStringList now = f.set ? f.set->strings() : QStringList();
            const auto stored = valueObject<StringList>(el->vContent);
            const QStringList before = stored ? QStringList(stored->begin(), stored->end()) : QStringList();
            if (now != before)
                el->bChanged = true;
            if (el->bChanged) {
                // An emptied set leaves the field unassigned.
                el->vContent = std::monostate();
                el->bValid = false;
                if (!now.isEmpty()) {
                    el->vContent = f.vValue();
                    el->bValid = true;
                }
            }
            continue;
        }
        if (!f.bDiffers())
            continue;
        el->bChanged = true;
        el->vContent = f.vValue();
        if (el->strName == m_params.strTitleElement)
            documentUi().UpdateNodeTitle(obj);
    }
}

} // namespace vimra
