#include "ConsoleTemplates.h"

#include "CSkinButton.h"
#include "CSkinDialog.h"

namespace ostrel {

namespace {

using K = ControlKind;
using S = ControlStyle;
constexpr int kNone = kNoControlId;
namespace status = ids::control::status;
namespace printers = ids::control::printers;
namespace settings = ids::control::settings;
namespace reports = ids::control::reports;
namespace email = ids::control::email;

}  // namespace

DialogTemplate MainWindowTemplate()
{
    return {ids::dialog::kMainWindow,
            QSize(390, 247),
            QStringLiteral("Quillmere"),
            WindowStyle::None,
            {{ids::control::kCaption, K::Static, QRect(7, 7, 0, 0), QStringLiteral("Quillmere"), S::NoWrap},
             {ids::control::kHelpButton, K::PushButton, QRect(354, 6, 13, 12), {}, {}},
             {ids::control::kCloseButton, K::PushButton, QRect(370, 5, 14, 14), {}, {}}}};
}

DialogTemplate PageBarTemplate()
{
    return {ids::dialog::kPageBar, QSize(96, 182), {}, WindowStyle::Child, {}};
}

DialogTemplate StatusPageTemplate()
{
    return {ids::dialog::kStatusPage,
            QSize(279, 167),
            {},
            WindowStyle::Child,
            {{status::kStart, K::PushButton, QRect(38, 24, 66, 16), {}, S::Disabled},
             {status::kStop, K::PushButton, QRect(147, 24, 67, 16), {}, {}},
             {kNone, K::GroupBox, QRect(7, 13, 265, 56), {}, {}},
             {kNone, K::Static, QRect(111, 7, 0, 0), QStringLiteral("Status"), S::NoWrap | S::CentreText},
             {kNone, K::Static, QRect(50, 54, 0, 0), QStringLiteral("Application Status:"), S::NoWrap},
             {status::kState, K::Static, QRect(120, 55, 79, 8), QStringLiteral("Monitoring"), {}},
             {kNone, K::Static, QRect(7, 80, 0, 0), QStringLiteral("Current User:"), S::NoWrap},
             {status::kUser, K::Static, QRect(54, 80, 125, 8), {}, {}},
             {kNone, K::Static, QRect(7, 94, 0, 0), QStringLiteral("Default Printer:"), S::NoWrap},
             {status::kDefaultPrinter, K::Static, QRect(59, 94, 128, 8), {}, {}},
             {status::kDefaultPrinterReport, K::PushButton, QRect(38, 115, 67, 16), {}, {}},
             {status::kUserReport, K::PushButton, QRect(147, 115, 67, 16), {}, {}},
             {status::kCentral, K::Static, QRect(7, 143, 265, 8), {}, {}}}};
}

DialogTemplate PrintersPageTemplate()
{
    return {ids::dialog::kPrintersPage,
            QSize(286, 163),
            {},
            WindowStyle::Child,
            {{kNone, K::Static, QRect(7, 2, 0, 0), QStringLiteral("All Printers:"), S::NoWrap},
             {printers::kAll, K::ListBox, QRect(7, 13, 267, 52), {}, S::Sorted},
             {printers::kAdd, K::PushButton, QRect(7, 73, 66, 17), {}, {}},
             {printers::kRemove, K::PushButton, QRect(76, 73, 66, 18), {}, {}},
             {printers::kApply, K::PushButton, QRect(144, 73, 66, 17), {}, {}},
             {printers::kReset, K::PushButton, QRect(213, 73, 66, 17), {}, {}},
             {kNone, K::Static, QRect(7, 93, 0, 0), QStringLiteral("Selected Printers:"), S::NoWrap},
             {printers::kMonitored, K::ListView, QRect(7, 103, 267, 53), {}, {}}}};
}

DialogTemplate ReportsPageTemplate()
{
    return {ids::dialog::kReportsPage,
            QSize(282, 187),
            {},
            WindowStyle::Child,
            {{kNone, K::Static, QRect(7, 4, 0, 0), QStringLiteral("Choose a report"), S::NoWrap},
             {kNone, K::Static, QRect(7, 20, 0, 0), QStringLiteral("Select period:"), S::NoWrap},
             {reports::kPeriods, K::ComboBox, QRect(70, 18, 120, 80), {}, {}},
             {kNone, K::GroupBox, QRect(7, 38, 268, 40), QStringLiteral("Printer Reports"), {}},
             {kNone, K::Static, QRect(14, 54, 0, 0), QStringLiteral("Select printer:"), S::NoWrap},
             {reports::kPrinters, K::ComboBox, QRect(70, 52, 110, 80), {}, {}},
             {reports::kPrinterReport, K::PushButton, QRect(200, 50, 66, 16), {}, {}},
             {kNone, K::GroupBox, QRect(7, 84, 268, 40), QStringLiteral("User Reports"), {}},
             {kNone, K::Static, QRect(14, 100, 0, 0), QStringLiteral("Select user:"), S::NoWrap},
             {reports::kUsers, K::ComboBox, QRect(70, 98, 110, 80), {}, {}},
             {reports::kUserReport, K::PushButton, QRect(200, 96, 66, 16), {}, {}},
             {kNone, K::GroupBox, QRect(7, 130, 268, 40), QStringLiteral("Aggregated User and Printer Reports"), {}},
             {kNone, K::Static, QRect(14, 146, 0, 0), QStringLiteral("Press for report:"), S::NoWrap},
             {reports::kAggregatedReport, K::PushButton, QRect(200, 142, 66, 16), {}, {}}}};
}

DialogTemplate SettingsPageTemplate()
{
    return {ids::dialog::kSettingsPage,
            QSize(272, 166),
            {},
            WindowStyle::Child,
            {{kNone, K::Static, QRect(8, 9, 0, 0), QStringLiteral("Email Reports"), S::NoWrap},
             {kNone, K::GroupBox, QRect(7, 13, 258, 34), {}, {}},
             {kNone, K::Static, QRect(30, 27, 0, 0), QStringLiteral("Enable Email Notification"), S::NoWrap},
             {settings::kEmailSwitch, K::CheckBox, QRect(113, 27, 8, 8), {}, {}},
             {settings::kConfigure, K::PushButton, QRect(144, 23, 67, 16), {}, {}},
             {kNone, K::Static, QRect(7, 68, 0, 0), QStringLiteral("Cost Management"), S::NoWrap},
             {kNone, K::GroupBox, QRect(7, 72, 258, 68), {}, {}},
             {kNone, K::Static, QRect(30, 87, 0, 0), QStringLiteral("Select a printer"), S::NoWrap},
             {settings::kPrinters, K::ComboBox, QRect(88, 85, 169, 55), {}, {}},
             {kNone, K::Static, QRect(30, 107, 0, 0), QStringLiteral("Type its cost"), S::NoWrap},
             {settings::kCost, K::Edit, QRect(88, 104, 48, 14), {}, {}},
             {kNone, K::Static, QRect(139, 108, 0, 0), QStringLiteral("cents per page"), S::NoWrap},
             {settings::kApply, K::PushButton, QRect(190, 103, 66, 16), {}, {}},
             {kNone, K::Static, QRect(7, 144, 0, 0), QStringLiteral("Privacy"), S::NoWrap},
             {kNone, K::GroupBox, QRect(7, 148, 258, 28), {}, {}},
             {kNone, K::Static, QRect(30, 159, 0, 0), QStringLiteral("Record Document Names"), S::NoWrap},
             {settings::kDocumentNames, K::CheckBox, QRect(120, 159, 8, 8), {}, {}}}};
}

DialogTemplate MessageBoxTemplate(const QString& text)
{
    return {ids::dialog::kMessageBox,
            QSize(244, 100),
            QStringLiteral("Quillmere"),
            WindowStyle::None,
            {{ids::control::kMessageText, K::Static, QRect(7, 60, 230, 33), text, {}},
             {ids::control::kOk, K::PushButton, QRect(170, 11, 66, 16), {}, S::DefaultButton}}};
}

DialogTemplate AboutBoxTemplate(const QString& title, const QString& text)
{
    return {ids::dialog::kAboutBox,
            QSize(244, 100),
            QStringLiteral("About Quillmere"),
            WindowStyle::None,
            {{ids::control::kAboutTitle, K::Static, QRect(7, 42, 230, 10), title, S::NoWrap},
             {ids::control::kAboutText, K::Static, QRect(7, 56, 230, 40), text, {}},
             {ids::control::kOk, K::PushButton, QRect(170, 11, 66, 16), {}, S::DefaultButton}}};
}

DialogTemplate EmailSettingsTemplate()
{
    // The fields start right of the longest label, "Authentication Method".
    const auto field = [](int id, int y, const QString& label, ControlStyles styles = S::None) {
        const bool combo = id == email::kAuthMethod;
        return std::pair<ControlTemplate, ControlTemplate>{
            {kNone, K::Static, QRect(16, y + 2, 0, 0), label, S::NoWrap},
            {id, combo ? K::ComboBox : K::Edit, QRect(100, y, 80, combo ? 60 : 12), {}, styles}};
    };
    DialogTemplate dialog{
        ids::dialog::kEmailSettings, QSize(193, 267), QStringLiteral("Email Settings"), WindowStyle::None, {}};
    auto& controls = dialog.controls;
    controls.push_back({kNone, K::GroupBox, QRect(7, 10, 179, 30), QStringLiteral("Personal Information"), {}});
    controls.push_back({kNone, K::GroupBox, QRect(7, 46, 179, 106), QStringLiteral("Sender Infomation"), {}});
    controls.push_back({kNone, K::GroupBox, QRect(7, 158, 179, 48), QStringLiteral("Server Information"), {}});
    for (const auto& [label, box] :
         {field(email::kRecipient, 22, QStringLiteral("Email Address")),
          field(email::kSenderName, 58, QStringLiteral("Name")),
          field(email::kSenderAddress, 76, QStringLiteral("Email")),
          field(email::kAuthMethod, 94, QStringLiteral("Authentication Method"), S::Editable | S::Sorted),
          field(email::kUserName, 112, QStringLiteral("User Name")),
          field(email::kPassword, 130, QStringLiteral("Password"), S::Password),
          field(email::kServer, 170, QStringLiteral("Mail Server")),
          field(email::kPort, 188, QStringLiteral("Port"))}) {
        controls.push_back(label);
        controls.push_back(box);
    }
    controls.push_back({email::kModify, K::PushButton, QRect(24, 220, 66, 16), {}, S::DefaultButton});
    controls.push_back({ids::control::kCancel, K::PushButton, QRect(103, 220, 66, 16), {}, {}});
    controls.push_back({email::kDefaults, K::PushButton, QRect(24, 242, 66, 16), {}, {}});
    controls.push_back({email::kTestEmail, K::PushButton, QRect(103, 242, 66, 16), {}, {}});
    return dialog;
}

DialogTemplate ReportViewerTemplate()
{
    return {ids::dialog::kReportViewer,
            QSize(403, 214),
            {},
            WindowStyle::SizingBorder,
            {{ids::control::viewer::kArea, K::Custom, QRect(7, 7, 389, 177), {}, {}},
             {ids::control::viewer::kFind, K::PushButton, QRect(240, 191, 66, 16), {}, S::DefaultButton},
             {ids::control::viewer::kClose, K::PushButton, QRect(326, 191, 66, 16), {}, {}}}};
}

const std::array<PageEntry, 4>& PageTable()
{
    static const std::array<PageEntry, 4> pages{{
        {ids::control::kStatusPageButton, 143, 142, 144, {15, 3}, ids::dialog::kStatusPage, {420, 270}},
        {ids::control::kPrintersPageButton, 169, 171, 170, {15, 53}, ids::dialog::kPrintersPage, {420, 300}},
        {ids::control::kReportsPageButton, 172, 168, 173, {15, 103}, ids::dialog::kReportsPage, {420, 300}},
        {ids::control::kSettingsPageButton, 145, 147, 146, {15, 153}, ids::dialog::kSettingsPage, {420, 300}},
    }};
    return pages;
}

DialogTemplate PageTemplate(int templateId)
{
    switch (templateId) {
    case ids::dialog::kStatusPage: return StatusPageTemplate();
    case ids::dialog::kPrintersPage: return PrintersPageTemplate();
    case ids::dialog::kReportsPage: return ReportsPageTemplate();
    case ids::dialog::kSettingsPage: return SettingsPageTemplate();
    default: return {templateId, {}, {}, WindowStyle::Child, {}};
    }
}

std::vector<ButtonSkin> ButtonSkins(int templateId)
{
    switch (templateId) {
    case ids::dialog::kStatusPage:
        return {{status::kStart, 174, 175, 174, 176},
                {status::kStop, 180, 177, 180, 178},
                {status::kDefaultPrinterReport, 183, 184, 183, 0},
                {status::kUserReport, 181, 182, 181, 0}};
    case ids::dialog::kPrintersPage:
        return {{printers::kAdd, 188, 189, 188, 187},
                {printers::kRemove, 192, 193, 192, 198},
                {printers::kApply, 190, 191, 190, 0},
                {printers::kReset, 194, 195, 194, 0}};
    case ids::dialog::kReportsPage:
        return {{reports::kPrinterReport, 185, 186, 185, 0},
                {reports::kUserReport, 185, 186, 185, 0},
                {reports::kAggregatedReport, 185, 186, 185, 0}};
    case ids::dialog::kSettingsPage:
        return {{settings::kConfigure, 197, 196, 197, 0}, {settings::kApply, 190, 191, 190, 0}};
    case ids::dialog::kEmailSettings:
        return {{email::kModify, 207, 208, 207, 0},
                {ids::control::kCancel, 203, 204, 203, 0},
                {email::kDefaults, 205, 206, 205, 0},
                {email::kTestEmail, 209, 202, 209, 0}};
    default: return {};
    }
}

void ApplyButtonSkins(const CSkinDialog& dialog, int templateId)
{
    for (const ButtonSkin& skin : ButtonSkins(templateId))
        if (CSkinButton* button = dialog.Button(skin.id))
            button->SetBitmaps(skin.normal, skin.pressed, skin.hover, skin.disabled);
}

std::vector<MenuItem> HelpMenuItems()
{
    using namespace ids::command;
    return {{kHelpContents, QStringLiteral("Help &Contents")},
            {kHelpIndex, QStringLiteral("Help &Index")},
            {kHelpSearch, QStringLiteral("Help &Search")},
            {ids::kSeparator, {}},
            {kProductPage, QStringLiteral("&Product Page")},
            {kCompanyPage, QStringLiteral("C&ompany Page")},
            {ids::kSeparator, {}},
            {kSupportPage, QStringLiteral("&Get Support")},
            {kTellAFriend, QStringLiteral("&Tell a Friend")},
            {ids::kSeparator, {}},
            {kAbout, QStringLiteral("&About")}};
}

std::vector<MenuItem> TrayMenuItems()
{
    using namespace ids::command;
    return {{kTrayShow, QStringLiteral("Show")},
            {ids::kSeparator, {}},
            {kTrayStartMonitoring, QStringLiteral("Start monitoring")},
            {kTrayStopMonitoring, QStringLiteral("Stop monitoring")},
            {ids::kSeparator, {}},
            {kTrayHelpContents, QStringLiteral("Help Contents")},
            {kTrayHelpIndex, QStringLiteral("Help Index")},
            {kTrayHelpSearch, QStringLiteral("Help Search")},
            {ids::kSeparator, {}},
            {kAbout, QStringLiteral("About")},
            {kTrayTellAFriend, QStringLiteral("Tell a friend")},
            {ids::kSeparator, {}},
            {kTrayExit, QStringLiteral("Exit")}};
}

QString AboutMenuCaption()
{
    return QStringLiteral("&About Quillmere...");
}

}  // namespace ostrel
