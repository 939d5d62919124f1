#pragma once

#include <QString>

#include <memory>

namespace vimra {

class AVDocument;
class IOManager;

// The identifier of the document that holds the object stored at
// `strGUID`, climbing from the object through its parents' folders; "" when
// none is found (an unknown class, no parent, or two parents claiming the
// object). Candidates are loaded into `doc`'s registry while they are asked
// and taken out again.
QString strRetrieveAVDocGUIDFromGUID(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc,
                                     const QString& strGUID);

} // namespace vimra
