#pragma once

#include "DialogTemplate.h"

class QWidget;

namespace ostrel {

// Builds a dialog template into widgets and finds them again by id.
class DialogBuilder {
public:
    // Lays `dialog` out as `dialogTemplate` says: font, window kind, title,
    // size in pixels and one child widget per control, created in template
    // order (which is the tab order). Push buttons become CSkinButtons.
    // Group boxes and static texts let the mouse through to what lies
    // beneath them, and group boxes lie beneath the other controls.
    static void Build(QWidget& dialog, const DialogTemplate& dialogTemplate);

    // The control of `dialog` with this id, or nullptr. Only the dialog's own
    // controls are searched, not those of the pages it holds.
    static QWidget* Find(const QWidget& dialog, int id);

    // The id a control was built with; kNoControlId for other widgets.
    static int IdOf(const QWidget& control);

    // Gives a widget made in code an id, so that Find knows it.
    static void SetId(QWidget& control, int id);
};

}  // namespace ostrel
