#pragma once

#include <QByteArray>

namespace vimra::test {

// Parameter entities nested ten deep, ten references each, the innermost
// `inner` (character references keep the parser from expanding them as they
// are declared): `%a9;` between declarations stands for 10^9 copies of it.
inline QByteArray nestedParameterEntities(const QByteArray& inner)
{
    QByteArray out = "<!ENTITY % a0 \"" + inner + "\">";
    for (int i = 1; i < 10; ++i)
        out += "<!ENTITY % a" + QByteArray::number(i) + " \"" + ("&#37;a" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
    return out;
}

} // namespace vimra::test
