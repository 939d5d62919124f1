#pragma once

#include "platform/FileWrite.h"
#include "platform/HeapReserve.h"
#include "records/FileStamp.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace vimra {

class AVDocument;
class DocObject;
class Expression;
class IOManager;

// The identifier of the document that holds the object stored at
// `strGUID`, climbing from the object through its parents' folders; "" when
// none is found (an unknown class, no parent, two parents claiming the
// object, or parents that name each other in a circle). Candidates are
// loaded into `doc`'s registry while they are asked and taken out again.
QString strRetrieveAVDocGUIDFromGUID(const std::shared_ptr<IOManager>& io, const std::shared_ptr<AVDocument>& doc,
                                     const QString& strGUID);

// How many levels of segments below its main expression open.
constexpr int kMaxSegmentDepth = 100;

// The expressions found in the document folder for `obj`: a Version's
// expressions, or an expression's segments, in folder order. Those already
// in `doc`'s registry are taken as they are when they were opened in this
// place (a main expression for a Version, a segment of `obj`), and left out
// otherwise; the others are opened (with their own segments) and stay
// registered. One that fails to open is shown
// and left out. Segments deeper than kMaxSegmentDepth are not opened, and
// that is shown once for each main expression.
std::vector<std::shared_ptr<Expression>> colScanForExpressions(const std::shared_ptr<IOManager>& io,
                                                               const std::shared_ptr<AVDocument>& doc,
                                                               const std::shared_ptr<DocObject>& obj);

// While one lives, the scans read each folder once, and a file a scan read
// is not read again by its load: a document and all its expressions open in
// time proportional to the folder. Nothing may write the folder meanwhile.
// Sessions nest; the outermost one counts.
class ScanSession {
public:
    explicit ScanSession(IOManager* io);
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

private:
    StampScope m_stamps; // the settings and the schema looked at once
    fs::ListingScope m_listings; // each folder listed once
    HeapReserve m_heap;  // room for the objects of the folders read
    IOManager* m_io = nullptr; // the outermost session's store
};

// A new, unloaded object of the class; none for a class that is not a document class.
std::shared_ptr<DocObject> CreateObjectOfType(const QString& strClass, std::weak_ptr<AVDocument> context);

// Tests make objects of their own classes in place of the document classes:
// the maker answers for the classes it knows and none for the others.
using ObjectMaker = std::function<std::shared_ptr<DocObject>(const QString& strClass, std::weak_ptr<AVDocument>)>;
void setObjectMaker(ObjectMaker maker);

} // namespace vimra
