#pragma once

#include <QString>

namespace vimra {

// fs::copyAtomically for code that has a namespace of its own named fs:
// "" or the system's reason.
QString strCopyAtomically(const QString& source, const QString& target);

} // namespace vimra
