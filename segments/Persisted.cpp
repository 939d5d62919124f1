#include "segments/Persisted.h"

namespace vimra {

void readProperties(const std::vector<PersistedProperty>& properties, const QVariantMap& saved)
{
    for (const auto& p : properties)
        p.set(saved.value(QString::fromLatin1(p.key), p.defaultValue()));
}

QVariantMap writeProperties(const std::vector<PersistedProperty>& properties)
{
    QVariantMap saved;
    for (const auto& p : properties) {
        const QVariant value = p.get();
        if (value != p.defaultValue())
            saved.insert(QString::fromLatin1(p.key), value);
    }
    return saved;
}

QColor colorFromBgr(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace vimra
