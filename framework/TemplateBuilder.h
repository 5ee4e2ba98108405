#pragma once

#include <QSize>
#include <functional>
#include <vector>

#include "framework/DialogTemplate.h"
#include "framework/DialogUnits.h"

class QWidget;

// Makes the widget for one control when the owner wants its own class there (a flat combo
// box, a coloured static); nullptr lets the builder make its standard widget. The widget must
// derive from the standard one of its kind (QComboBox for a drop-down list, QLabel for texts,
// QLineEdit for edits ...) for the template's texts, items and flags to reach it.
using ControlFactory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

// Properties the builder leaves on each control besides its id.
inline constexpr char kTemplateStyleProperty[] = "templateStyle";
inline constexpr char kDroppedHeightProperty[] = "droppedHeight";  // drop-down lists, pixels

// The base units of a template's font.
DialogBaseUnits TemplateBaseUnits(const DialogTemplate& tmpl);
// The template's client size in pixels.
QSize TemplateClientSize(const DialogTemplate& tmpl);

// Creates every control of the template as a child of `parent`, at its converted position,
// in tab order, and gives `parent` the template font. Returns the controls in table order.
std::vector<QWidget*> CreateTemplateControls(const DialogTemplate& tmpl, QWidget* parent,
                                             const ControlFactory& factory = {});

// For a dialog: also sets the caption and fixes the client size.
std::vector<QWidget*> ApplyDialogTemplate(const DialogTemplate& tmpl, QWidget* dialog,
                                          const ControlFactory& factory = {});
