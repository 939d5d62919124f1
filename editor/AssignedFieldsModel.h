#pragma once

#include "records/SEColl.h"

#include <memory>
#include <vector>

namespace vimra {

// Which fields of one collection the user wants assigned, without widgets.
// Nothing reaches the fields before OK.
class AssignedFieldsModel {
public:
    // Starts from the fields' own assigned flags.
    void Load(const std::shared_ptr<SEColl>& secol);
    const std::shared_ptr<SEColl>& secol() const { return m_secol; }
    int Count() const { return int(m_ticks.size()); }
    bool bTicked(int k) const { return k >= 1 && k <= Count() && m_ticks[k - 1]; }

    // Read-only, ignored and machine-held fields keep their flag.
    static bool bProtected(const SchemaElement& el);
    // The user's tick on row k (from 1); false when the row is protected,
    // and its tick then stays the field's assigned flag.
    bool setTicked(int k, bool ticked);

    // Newly ticked fields get their type's default; every field whose flag
    // changes is marked changed. Unticked fields keep their value.
    void OK(const CloseListRegistry* closeLists) const;

private:
    std::shared_ptr<SEColl> m_secol;
    std::vector<bool> m_ticks;
};

} // namespace vimra
