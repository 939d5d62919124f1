#pragma once

#include "editor/PaneModel.h"

class QLineEdit;
class QWidget;

namespace vimra {

// Makes the control of one shown field on `canvas`, by its type code: filled
// from the field's shown value, locked (text) or disabled (every other
// kind) when read-only, and wired so that the user's edits reach the field.
// The field must outlive the control. nullptr for a type that is not shown.
QWidget* makeFieldControl(PaneField& field, QWidget* canvas);
// Whether OK can take what the control holds: false for a date typed
// incompletely or wrongly.
bool bFieldControlAccepts(const QWidget* control);
// Makes `box` drop what no file can hold from whatever is pasted or dropped
// into it, as typing does.
void keepStorable(QLineEdit* box);
// Gives a field's control its tip, accessible name and description, and tag.
void nameFieldControl(QWidget* control, const PaneField& field);

} // namespace vimra
