#pragma once

#include "platform/Xml.h"

#include <QString>

namespace vimra {

class SEColl;

// The namespace of xsi:noNamespaceSchemaLocation.
inline constexpr char kXsiNamespace[] = "http://www.w3.org/2001/XMLSchema-instance";

// Decodes the instance `doc` into the records the schema reader built. ""
// or, when the root is not named strClass (or there is none), the
// class-mismatch error. Every record an element matched ends up unchanged.
QString strReadInstance(SEColl& fields, const xml::Document& doc, const QString& strClass);

// Replaces the root's content by the assigned fields, in list order. The
// serializer writes the XML declaration (version 1.0, UTF-8) itself. "" or,
// for a value that does not suit its type code, the reason; the root may then
// be half written, so the caller must not store it.
QString WriteInstance(const SEColl& fields, xml::Document& doc);

// Stamps the root with xmlns:xsi and xsi:noNamespaceSchemaLocation (the
// schema's file name without its folder). Does nothing without a root.
void SetSchemaLocation(xml::Document& doc, const QString& strSchemaPath);
// True when SetSchemaLocation would leave `doc` as it is.
bool bHasSchemaLocation(const xml::Document& doc, const QString& strSchemaPath);

} // namespace vimra
