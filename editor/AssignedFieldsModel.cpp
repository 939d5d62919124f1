#include "editor/AssignedFieldsModel.h"

namespace vimra {

void AssignedFieldsModel::Load(const std::shared_ptr<SEColl>& secol)
{
    m_secol = secol;
    m_ticks.clear();
    if (secol)
        for (const auto& el : *secol)
            m_ticks.push_back(el->bValid);
}

bool AssignedFieldsModel::bProtected(const SchemaElement& el)
{
    return el.bReadOnly || el.bIgnore || !el.bIsHumanReadable();
}

bool AssignedFieldsModel::setTicked(int k, bool ticked)
{
    if (k < 1 || k > Count())
        return false;
    const auto el = m_secol->Item(k);
    if (bProtected(*el)) {
        m_ticks[k - 1] = el->bValid;
        return false;
    }
    m_ticks[k - 1] = ticked;
    return true;
}

void AssignedFieldsModel::OK(const CloseListRegistry* closeLists) const
{
    for (int k = 1; k <= Count(); ++k) {
        const auto el = m_secol->Item(k);
        const bool ticked = m_ticks[k - 1];
        if (ticked && !el->bValid)
            el->Init(closeLists);
        if (el->bValid != ticked) {
            el->bChanged = true;
            el->bValid = ticked;
        }
    }
}

} // namespace vimra
