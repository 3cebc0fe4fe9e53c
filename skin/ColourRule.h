#pragma once

#include <QColor>

#include <optional>

namespace ostrel {

// How a skinned dialog colours itself and its static texts. Other
// controls keep the desktop's colours.
struct ColourRule {
    // Painted under everything; none leaves the dialog hollow, so that the
    // picture of the window behind it (or its own background) shows.
    std::optional<QColor> face;
    // Colour of static text, which is always drawn without a background;
    // none keeps the desktop's text colour.
    std::optional<QColor> staticText;

    // The pages and the e-mail settings dialog: hollow, grey text.
    static ColourRule Pages() { return {std::nullopt, QColor(80, 80, 80)}; }
    // A white face with black text, as the status page and the viewer use.
    static ColourRule WhiteFace() { return {QColor(Qt::white), QColor(Qt::black)}; }
};

}  // namespace ostrel
