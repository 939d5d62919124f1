#include "records/InstanceXml.h"

#include "records/Procedures.h"
#include "records/SEColl.h"
#include "resources/MessageIds.h"
#include "resources/StringTable.h"

#include <cmath>
#include <optional>

namespace vimra {

namespace {

// Whole milliseconds, halves to the even neighbour; none when they do not
// fit a 64-bit integer (or are not finite), so no time is ever written as
// anything but what it is.
std::optional<qint64> millisOf(double seconds)
{
    const double ms = std::nearbyint(seconds * 1000.0);
    constexpr double kLimit = 9223372036854775808.0; // 2^63, exact in a double
    if (!(ms >= -kLimit && ms < kLimit))
        return std::nullopt;
    return static_cast<qint64>(ms);
}

// Seconds from a millisecond attribute; false when the text is not a number
// or the time could not be written back as it was read.
bool bMillisToSeconds(const QString& text, double& seconds)
{
    bool ok = false;
    const double ms = text.trimmed().toDouble(&ok);
    if (!ok || !millisOf(ms / 1000.0))
        return false;
    seconds = ms / 1000.0;
    return true;
}

// Sets `start` and `end` in whole milliseconds; false, setting nothing, when
// either does not fit.
bool bWriteTimes(xml::Node& e, double dStart, double dend)
{
    const auto start = millisOf(dStart);
    const auto end = millisOf(dend);
    if (!start || !end)
        return false;
    e.setAttribute(QStringLiteral("start"), QString::number(*start));
    e.setAttribute(QStringLiteral("end"), QString::number(*end));
    return true;
}

// Both `start` and `end` present and numeric.
bool bReadTimes(const xml::Node& e, double& dStart, double& dend)
{
    return e.hasAttribute(QStringLiteral("start")) && e.hasAttribute(QStringLiteral("end"))
        && bMillisToSeconds(e.attribute(QStringLiteral("start")), dStart)
        && bMillisToSeconds(e.attribute(QStringLiteral("end")), dend);
}

QString strTypeMismatch(const SchemaElement& se)
{
    return QStringLiteral("Type mismatch: the value of %1 is not a %2").arg(se.strName, se.strType());
}

// The plain text of a scalar value; false for list, chunk and word-list values.
bool bScalarText(const FieldValue& v, QString& out)
{
    if (std::holds_alternative<std::shared_ptr<StringList>>(v) || std::holds_alternative<std::shared_ptr<Chunk>>(v)
        || std::holds_alternative<std::shared_ptr<WordColl>>(v))
        return false;
    out = valueToText(v);
    return true;
}

// A date value, or a text the platform would take for one (the default
// "01/01/2001" of a new field).
bool bDateOf(const FieldValue& v, QDate& date)
{
    if (auto d = std::get_if<QDate>(&v)) {
        date = *d;
        return d->isValid();
    }
    if (auto s = std::get_if<QString>(&v)) {
        const QString t = s->trimmed();
        date = QDate::fromString(t, QStringLiteral("M/d/yyyy"));
        if (!date.isValid())
            date = QDate::fromString(t, Qt::ISODate);
        return date.isValid();
    }
    return false;
}

std::shared_ptr<StringList> listOfChildTexts(const xml::Node& e)
{
    auto list = std::make_shared<StringList>();
    for (const xml::Node& c : e.childElements())
        list->Add(c.text());
    return list;
}

void Decode(SchemaElement& se, const xml::Node& e)
{
    const QString txt = e.text();
    switch (se.tyType) {
    case tyString:
        if (!txt.isEmpty()) {
            se.vContent = txt;
            se.bValid = true;
        }
        break;
    case tyDate: {
        QDate d;
        if (bParseDate(txt, d)) {
            se.vContent = d;
            se.bValid = true;
        }
        break;
    }
    case tyBool:
        if (txt == QLatin1String("true") || txt == QLatin1String("false")) {
            se.vContent = txt == QLatin1String("true");
            se.bValid = true;
        }
        break;
    case tySetOfStrings:
    case tySetOfGUIDs:
        if (auto list = listOfChildTexts(e); list->Count() > 0) {
            se.vContent = list;
            se.bValid = true;
        }
        break;
    case tyChunkTime: {
        auto chunk = std::make_shared<Chunk>();
        se.bValid = bReadTimes(e, chunk->dStart, chunk->dend);
        if (se.bValid) {
            chunk->strFile = txt;
            se.vContent = chunk;
        }
        break;
    }
    case tyWordList: {
        auto words = std::make_shared<WordColl>();
        for (const xml::Node& c : e.childElements()) {
            double dStart = 0, dend = 0;
            if (bReadTimes(c, dStart, dend))
                words->Add(QString(), QString(), dStart, dend, c.text());
        }
        if (words->Count() > 0) {
            se.vContent = words;
            se.bValid = true;
        }
        break;
    }
    default: // Integer, Real, closed list and unrecognised types keep their text
        se.vContent = txt;
        se.bValid = true;
        break;
    }
}

QString Encode(const SchemaElement& se, xml::Node e)
{
    switch (se.tyType) {
    case tyDate: {
        QDate d;
        if (!bDateOf(se.vContent, d))
            return strTypeMismatch(se);
        e.appendText(d.toString(QStringLiteral("yyyy-MM-dd")));
        return {};
    }
    case tyBool:
        e.appendText(vBoolToXML(se.vContent));
        return {};
    case tySetOfStrings:
    case tySetOfGUIDs: {
        auto list = valueObject<StringList>(se.vContent);
        if (!list)
            return strTypeMismatch(se);
        const QString child = se.tyType == tySetOfStrings ? QStringLiteral("StringItem") : QStringLiteral("GUID");
        for (const QString& item : *list)
            e.appendElement(child).appendText(item);
        return {};
    }
    case tyChunkTime: {
        auto chunk = valueObject<Chunk>(se.vContent);
        if (!chunk)
            return strTypeMismatch(se);
        if (!bWriteTimes(e, chunk->dStart, chunk->dend))
            return strTypeMismatch(se);
        e.setAttribute(QStringLiteral("reasons"), QStringLiteral("0"));
        e.appendText(chunk->strFile);
        return {};
    }
    case tyWordList: {
        auto words = valueObject<WordColl>(se.vContent);
        if (!words)
            return strTypeMismatch(se);
        for (const auto& w : *words) {
            xml::Node c = e.appendElement(QStringLiteral("Word"));
            if (!bWriteTimes(c, w->dStart, w->dend))
                return strTypeMismatch(se);
            c.appendText(w->strTxt);
        }
        return {};
    }
    default: {
        QString txt;
        if (!bScalarText(se.vContent, txt))
            return strTypeMismatch(se);
        e.appendText(txt);
        return {};
    }
    }
}

} // namespace

QString strReadInstance(SEColl& fields, const xml::Document& doc, const QString& strClass)
{
    const xml::Node root = doc.documentElement();
    if (!root || root.localName() != strClass)
        return strClass + QStringLiteral(": ") + text(msg::ClassNameMismatch);
    const std::vector<xml::Node> children = root.childElements();
    std::vector<QString> names;
    names.reserve(children.size());
    for (const xml::Node& e : children)
        names.push_back(e.nodeName());
    for (const SEColl::Record& se : fields) {
        for (size_t i = 0; i < children.size(); ++i) {
            if (names[i] != se->strName)
                continue;
            Decode(*se, children[i]);
            se->bChanged = false;
            if (!se->bValid)
                se->vContent = std::monostate{};
        }
    }
    return {};
}

QString WriteInstance(const SEColl& fields, xml::Document& doc)
{
    xml::Node root = doc.documentElement();
    if (!root)
        return QStringLiteral("The document has no root element");
    root.removeChildren();
    for (const SEColl::Record& se : fields) {
        if (!se->bValid)
            continue;
        const QString err = Encode(*se, root.appendElement(se->strName));
        if (!err.isEmpty())
            return err;
    }
    return {};
}

void SetSchemaLocation(xml::Document& doc, const QString& strSchemaPath)
{
    xml::Node root = doc.documentElement();
    if (!root)
        return;
    const QString ns = QString::fromLatin1(kXsiNamespace);
    root.setNamespaceDeclaration(QStringLiteral("xsi"), ns);
    root.setAttributeNS(ns, QStringLiteral("xsi"), QStringLiteral("noNamespaceSchemaLocation"),
                        vFileNameOf(strSchemaPath));
}

bool bHasSchemaLocation(const xml::Document& doc, const QString& strSchemaPath)
{
    const xml::Node root = doc.documentElement();
    if (!root)
        return true;
    const QString ns = QString::fromLatin1(kXsiNamespace);
    // Anything spelled like the declaration without being one is replaced.
    const QString location = root.attributeNS(ns, QStringLiteral("noNamespaceSchemaLocation"));
    return root.declaredNamespace(QStringLiteral("xsi")) == ns && !root.hasAttribute(QStringLiteral("xmlns:xsi"))
        && !location.isNull() && location == vFileNameOf(strSchemaPath);
}

} // namespace vimra
