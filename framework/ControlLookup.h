#pragma once

#include <QWidget>

// Every control made from a template carries its id in this property.
inline constexpr char kControlIdProperty[] = "controlId";

void SetControlId(QWidget* control, int id);
// The id of a template control, or IDC_STATIC (-1) for any other widget.
int ControlId(const QWidget* control);

// The first control below `root` (in creation order) that carries `id`; nullptr if none.
QWidget* FindControl(const QWidget* root, int id);

template <class T>
T* FindControl(const QWidget* root, int id) {
    return dynamic_cast<T*>(FindControl(root, id));
}
