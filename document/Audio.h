#pragma once

#include "document/Expression.h"

namespace vimra {

// The sound of a Version, or a segment of it.
class Audio : public Expression {
public:
    using Expression::Expression;

    QString className() const override { return QStringLiteral("Audio"); }

protected:
    QString strGUIDElement() const override { return QStringLiteral("AudioGUID"); }
    QString strTitleElement() const override { return QStringLiteral("Title"); }
    QString strPartOfName() const override { return QStringLiteral("partofaudio"); }
    QString strFollowedByName() const override { return QStringLiteral("followedbyaudio"); }
};

} // namespace vimra
