#pragma once

// The numbers by which the console's windows, controls, pictures and
// commands are known. They are fixed: the pictures are painted under these
// numbers and the help and the tests refer to them.
namespace ostrel::ids {

// Dialog templates.
namespace dialog {
inline constexpr int kAboutBox = 100;
inline constexpr int kMainWindow = 102;
inline constexpr int kPrintersPage = 130;
inline constexpr int kReportsPage = 131;
inline constexpr int kSettingsPage = 132;
inline constexpr int kPageBar = 134;
inline constexpr int kReportViewer = 137;
inline constexpr int kEmailSettings = 139;
inline constexpr int kStatusPage = 140;
inline constexpr int kMessageBox = 159;
}  // namespace dialog

// Bitmaps, icons and menus.
namespace bitmap {
inline constexpr int kMainWindow = 151;
inline constexpr int kPageBar = 152;
inline constexpr int kClose = 154;
inline constexpr int kHelp = 166;
inline constexpr int kMessageBox = 210;
inline constexpr int kOkNormal = 212;
inline constexpr int kOkPressed = 211;
inline constexpr int kEmailSettings = 214;
inline constexpr int kFindKeywordPressed = 221;
inline constexpr int kFindKeywordNormal = 222;
inline constexpr int kViewerOkPressed = 223;
inline constexpr int kViewerOkNormal = 224;
}  // namespace bitmap

namespace icon {
inline constexpr int kMonitoring = 230;  // also the application's icon
inline constexpr int kNotMonitoring = 232;
}  // namespace icon

namespace menu {
inline constexpr int kTray = 155;
}  // namespace menu

// Controls, by the dialogs that hold them.
namespace control {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kCaption = 1000;
inline constexpr int kCloseButton = 1046;
inline constexpr int kHelpButton = 1058;
inline constexpr int kStatusPageButton = 1110;
inline constexpr int kPrintersPageButton = 1111;
inline constexpr int kReportsPageButton = 1112;
inline constexpr int kSettingsPageButton = 1113;
inline constexpr int kMessageText = 1056;
inline constexpr int kAboutTitle = 1101;
inline constexpr int kAboutText = 1102;

// The status page.
namespace status {
inline constexpr int kStart = 1047;
inline constexpr int kStop = 1048;
inline constexpr int kState = 1050;
inline constexpr int kUser = 1051;
inline constexpr int kDefaultPrinter = 1052;
inline constexpr int kDefaultPrinterReport = 1053;
inline constexpr int kUserReport = 1054;
inline constexpr int kCentral = 1055;  // the central database's line; empty when none is configured
}  // namespace status

// The printers page.
namespace printers {
inline constexpr int kAll = 1009;
inline constexpr int kAdd = 1011;
inline constexpr int kRemove = 1012;
inline constexpr int kApply = 1013;
inline constexpr int kReset = 1014;
inline constexpr int kMonitored = 1021;
}  // namespace printers

// The reports page.
namespace reports {
inline constexpr int kPeriods = 1001;
inline constexpr int kPrinters = 1002;
inline constexpr int kPrinterReport = 1003;
inline constexpr int kUsers = 1004;
inline constexpr int kUserReport = 1005;
inline constexpr int kAggregatedReport = 1057;
}  // namespace reports

// The e-mail settings dialog.
namespace email {
inline constexpr int kRecipient = 1027;
inline constexpr int kSenderName = 1036;
inline constexpr int kSenderAddress = 1030;
inline constexpr int kAuthMethod = 1037;
inline constexpr int kUserName = 1032;
inline constexpr int kPassword = 1033;
inline constexpr int kServer = 1034;
inline constexpr int kPort = 1035;
inline constexpr int kModify = 1038;
inline constexpr int kDefaults = 1025;
inline constexpr int kTestEmail = 1026;
}  // namespace email

// The settings page.
namespace settings {
inline constexpr int kPrinters = 1002;
inline constexpr int kEmailSwitch = 1023;
inline constexpr int kConfigure = 1024;
inline constexpr int kCost = 1044;
inline constexpr int kApply = 1045;
inline constexpr int kDocumentNames = 1059;
}  // namespace settings

// The report viewer: the area that holds the page and the tables, and its
// two buttons, Find Keyword and OK, under the ids of OK and Cancel.
namespace viewer {
inline constexpr int kArea = 1008;
inline constexpr int kFind = kOk;
inline constexpr int kClose = kCancel;
}  // namespace viewer
}  // namespace control

// Commands of the menus: the help button's, the system menu's and the tray's.
namespace command {
inline constexpr int kAboutFromSystemMenu = 16;
inline constexpr int kHelpContents = 161;
inline constexpr int kHelpIndex = 162;
inline constexpr int kHelpSearch = 163;
inline constexpr int kProductPage = 164;
inline constexpr int kCompanyPage = 165;
inline constexpr int kSupportPage = 166;
inline constexpr int kAbout = 167;
inline constexpr int kTellAFriend = 168;
inline constexpr int kTrayExit = 32771;
inline constexpr int kTrayShow = 32772;
inline constexpr int kTrayHelpIndex = 32773;
inline constexpr int kTrayHelpContents = 32774;
inline constexpr int kTrayHelpSearch = 32775;
inline constexpr int kTrayTellAFriend = 32777;
inline constexpr int kTrayStartMonitoring = 32778;
inline constexpr int kTrayStopMonitoring = 32779;
}  // namespace command

// Menu entries that are no command.
inline constexpr int kSeparator = 0;

}  // namespace ostrel::ids
