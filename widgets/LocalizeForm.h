#pragma once

#include <QString>

#include <optional>

class QObject;
class QWidget;

namespace vimra {

// Windows keep text-table ids in their design: a control's (or window's) Tag
// in the dynamic property "vbTag", tooltips and menu captions hold the id
// text ("1152"), tab captions their tab data, list columns the header item's
// Qt::UserRole. LocalizeForm replaces them by the texts of the table. Each
// assignment is tried on its own; one that fails (no such text, not a
// number) is skipped and the designed text stays.
void LocalizeForm(QWidget* window);

// The Tag of a control or window.
void setTag(QObject* object, const QString& tag);
QString tag(const QObject* object);

// The number at the start of the text (after blanks: sign, digits, fraction),
// 0 when there is none, rounded to a 16-bit integer; none when out of range.
std::optional<int> leadingInt16(const QString& text);

} // namespace vimra
