#pragma once

#include "DialogTemplate.h"
#include "ResourceIds.h"

#include <QPoint>
#include <QSize>
#include <QString>

#include <array>
#include <vector>

namespace ostrel {

// The console's windows as data: numbers, controls and places in dialog
// units, as the skin toolkit builds them.
DialogTemplate MainWindowTemplate();
DialogTemplate PageBarTemplate();
DialogTemplate StatusPageTemplate();
DialogTemplate PrintersPageTemplate();
DialogTemplate ReportsPageTemplate();
DialogTemplate SettingsPageTemplate();
DialogTemplate MessageBoxTemplate(const QString& text);
DialogTemplate AboutBoxTemplate(const QString& title, const QString& text);
DialogTemplate EmailSettingsTemplate();
DialogTemplate ReportViewerTemplate();

// One page of the main window and its button in the page bar. The
// pressed picture doubles as the disabled one, so that the button of the
// page shown looks pressed.
struct PageEntry {
    int buttonId;
    int normal;
    int pressed;
    int hover;
    QPoint buttonOrigin;  // in the page bar, pixels
    int templateId;
    QSize pageSize;  // pixels
};

inline constexpr QSize kPageButtonSize{120, 25};
inline constexpr QPoint kPageBarOrigin{10, 90};
inline constexpr QPoint kPageOrigin{160, 80};

// The four pages in page order: status, printers, reports, settings.
const std::array<PageEntry, 4>& PageTable();

// The template of a page by its number; an empty template for any other.
DialogTemplate PageTemplate(int templateId);

// The pictures of a skinned button: normal, pressed, hover and disabled
// (0: the normal one).
struct ButtonSkin {
    int id;
    int normal;
    int pressed;
    int hover;
    int disabled;
};

// The skinned buttons of a window by its template number; none for a
// window whose buttons are skinned otherwise.
std::vector<ButtonSkin> ButtonSkins(int templateId);

class CSkinDialog;
// Gives the dialog's skinned buttons their pictures from that table.
void ApplyButtonSkins(const CSkinDialog& dialog, int templateId);

// A menu as data: command ids and captions, ids::kSeparator between groups.
struct MenuItem {
    int id;
    QString caption;
};

// The help button's menu and the tray icon's menu (155), in their order.
std::vector<MenuItem> HelpMenuItems();
std::vector<MenuItem> TrayMenuItems();

// The system menu's item, appended after a separator.
QString AboutMenuCaption();

}  // namespace ostrel
