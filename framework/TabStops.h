#pragma once

class QWidget;

// The first control inside `container` that the Tab key would reach (visible, enabled, taking
// the focus by Tab), in the container's tab order; null when there is none. That is where the
// platform puts the focus when a form or a window gets it with no control of its own to return to.
QWidget* FirstTabStop(QWidget* container);
