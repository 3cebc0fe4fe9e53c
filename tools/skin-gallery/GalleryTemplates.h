#pragma once

#include "DialogTemplate.h"

namespace ostrel::gallery {

// The windows the gallery shows, described as data the way the console's
// windows are: numbers, controls and places in dialog units.
DialogTemplate MainWindowTemplate();
DialogTemplate PageBarTemplate();
DialogTemplate StatusPageTemplate();
DialogTemplate PrintersPageTemplate();
DialogTemplate ReportsPageTemplate();
DialogTemplate SettingsPageTemplate();
DialogTemplate MessageBoxTemplate(const QString& text);
DialogTemplate EmailSettingsTemplate();
DialogTemplate ViewerTemplate();

} // namespace ostrel::gallery
