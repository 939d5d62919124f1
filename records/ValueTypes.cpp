#include "records/ValueTypes.h"

#include <QLocale>

namespace vimra {

std::shared_ptr<WordItem> WordColl::Add(const QString& strStart, const QString& strEnd, double dStart,
                                        double dend, const QString& strTxt, const QString& sKey)
{
    auto item = std::make_shared<WordItem>(WordItem{strStart, strEnd, dStart, dend, strTxt});
    if (!m_col.Add(item, sKey))
        return nullptr;
    return item;
}

QString strReal(double d)
{
    const QString s = QString::number(d, 'g', 15);
    if (s.toDouble() == d)
        return s;
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

QString valueToText(const FieldValue& v)
{
    struct Visitor {
        QString operator()(std::monostate) const { return {}; }
        QString operator()(const QString& s) const { return s; }
        QString operator()(int i) const { return QString::number(i); }
        QString operator()(double d) const { return strReal(d); }
        QString operator()(const QDate& d) const { return d.toString(Qt::ISODate); }
        QString operator()(bool b) const { return b ? QStringLiteral("True") : QStringLiteral("False"); }
        QString operator()(const std::shared_ptr<StringList>&) const { return {}; }
        QString operator()(const std::shared_ptr<Chunk>&) const { return {}; }
        QString operator()(const std::shared_ptr<WordColl>&) const { return {}; }
    };
    return std::visit(Visitor{}, v);
}

} // namespace vimra
