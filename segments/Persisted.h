#pragma once

#include <QColor>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <vector>

namespace vimra {

// A design-time property a host saves with its form: read through its setter,
// written only when it differs from its default.
struct PersistedProperty {
    const char* key;
    std::function<QVariant()> defaultValue; // asked when used: a default may follow another property
    std::function<QVariant()> get;
    std::function<void(const QVariant&)> set;
};

inline std::function<QVariant()> fixedDefault(QVariant value)
{
    return [value] { return value; };
}

// Reads in the list's order, so a setter sees the properties read before it.
void readProperties(const std::vector<PersistedProperty>& properties, const QVariantMap& saved);
QVariantMap writeProperties(const std::vector<PersistedProperty>& properties);

// The controls keep colours as 0x00BBGGRR, red in the low byte.
QColor colorFromBgr(quint32 bgr);

} // namespace vimra
