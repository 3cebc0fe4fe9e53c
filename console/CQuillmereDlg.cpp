#include "CQuillmereDlg.h"

#include "CConsolePage.h"
#include "CMenuButton.h"
#include "CMessageDlg.h"
#include "CPageBar.h"
#include "CPrintersPage.h"
#include "CReportsPage.h"
#include "CSettingsPage.h"
#include "CStatusPage.h"
#include "ConsoleMenus.h"
#include "DialogBuilder.h"
#include "EmailSettingsDialog.h"
#include "ProcessLauncher.h"
#include "SkinResources.h"
#include "WebPages.h"

#include <QContextMenuEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QShortcut>

namespace ostrel {

namespace {

// A page with its template's number and size, until its class fills it.
DialogTemplate PageShell(int templateId)
{
    const DialogTemplate full = PageTemplate(templateId);
    return {full.id, full.size, {}, WindowStyle::Child, {}};
}

// Enter must never press a button of the main window.
void NoAutoDefault(QWidget& root)
{
    for (QPushButton* button : root.findChildren<QPushButton*>())
        button->setAutoDefault(false);
}

constexpr int kMinimiseCommand = 0xF020;  // the system menu's own commands
constexpr int kCloseCommand = 0xF060;

}  // namespace

CQuillmereDlg::CQuillmereDlg(ConsoleEnvironment environment, QWidget* parent)
    : CTrayIconDlg(MainWindowTemplate(), environment.tray, parent),
      environment_(std::move(environment)),
      help_(environment_.appFolder),
      spoolerQueries_(environment_.spooler),
      rights_(environment_.appFolder, environment_.canSave),
      reportRights_(environment_.appFolder, environment_.canRead)
{
    // The system menu: the desktop's two commands and the about box.
    systemMenu_ = new QMenu(this);
    FillMenu(*systemMenu_, {{kMinimiseCommand, QStringLiteral("Mi&nimize")},
                            {kCloseCommand, QStringLiteral("&Close\tAlt+F4")},
                            {ids::kSeparator, {}},
                            {ids::command::kAboutFromSystemMenu, AboutMenuCaption()}});
    connect(systemMenu_, &QMenu::triggered, this, [this](QAction* action) { OnCommand(CommandOf(action)); });

    setWindowIcon(SkinResources::Icon(ids::icon::kMonitoring));
    setWindowTitle(QStringLiteral("Quillmere"));
    setWindowFlag(Qt::WindowMinimizeButtonHint);

    pageBar_ = new CPageBar(this);
    pageBar_->SetSwitchingEnabled(true);
    CreatePages();
    pageBar_->move(kPageBarOrigin);
    pageBar_->SetBackgroundBitmap(ids::bitmap::kPageBar);
    SetBackgroundBitmap(ids::bitmap::kMainWindow);
    SetColourRule({std::nullopt, QColor(Qt::black)});
    SetDraggable(true);
    if (auto* caption = qobject_cast<QLabel*>(Control(ids::control::kCaption))) {
        QFont large = caption->font();
        large.setPixelSize(17);
        large.setBold(true);
        caption->setFont(large);
        caption->adjustSize();
    }

    // The help button opens its menu; it takes the template's place.
    CSkinButton* placeholder = Button(ids::control::kHelpButton);
    helpButton_ = new CMenuButton(this);
    helpButton_->setGeometry(placeholder->geometry());
    DialogBuilder::SetId(*helpButton_, ids::control::kHelpButton);
    QWidget::setTabOrder(helpButton_, placeholder);
    delete placeholder;
    helpButton_->SetBitmaps(ids::bitmap::kHelp, ids::bitmap::kHelp);
    CSkinButton* close = Button(ids::control::kCloseButton);
    close->SetBitmaps(ids::bitmap::kClose, ids::bitmap::kClose);
    connect(close, &QPushButton::clicked, this, &CQuillmereDlg::HideToTray);

    SetMenu(TrayMenuItems());
    SetIconFromAppRuns();

    ShapeByColourKey();
    helpButton_->SetMenuItems(HelpMenuItems());
    connect(helpButton_, &CMenuButton::CommandChosen, this, &CQuillmereDlg::OnCommand);
    NoAutoDefault(*this);

    // The keyboard reads the window as its template does: the help and
    // close buttons, the page buttons, then the page shown.
    QWidget::setTabOrder(helpButton_, close);
    pageBar_->ChainTabOrder(close);
    for (int index = 0; index < pageBar_->PageCount(); ++index) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + index)), this);
        connect(shortcut, &QShortcut::activated, this, [this, index] { pageBar_->ChoosePage(index); });
    }
}

CQuillmereDlg::~CQuillmereDlg() = default;

void CQuillmereDlg::CreatePages()
{
    for (const PageEntry& entry : PageTable()) {
        auto* button = new CSkinButton(pageBar_);
        DialogBuilder::SetId(*button, entry.buttonId);
        button->setGeometry(QRect(entry.buttonOrigin, kPageButtonSize));
        button->SetBitmaps(entry.normal, entry.pressed, entry.hover, entry.pressed);

        const PageContext context{environment_.appFolder, spoolerQueries_, rights_, reportRights_};
        CConsolePage* page = nullptr;
        switch (entry.templateId) {
        case ids::dialog::kStatusPage: page = statusPage_ = new CStatusPage(context, this); break;
        case ids::dialog::kPrintersPage: page = printersPage_ = new CPrintersPage(context, this); break;
        case ids::dialog::kReportsPage: page = reportsPage_ = new CReportsPage(context, this); break;
        case ids::dialog::kSettingsPage:
            page = settingsPage_ = new CSettingsPage(context, this);
            settingsPage_->SetEmailSettingsDialog([this] {
                ProcessLauncher& launcher = environment_.launcher ? *environment_.launcher : SystemProcessLauncher();
                EmailSettingsDialog dialog(environment_.appFolder, launcher, rights_, this);
                dialog.exec();
            });
            break;
        default:
            page = new CConsolePage(PageShell(entry.templateId), this);
            page->SetColourRule(ColourRule::Pages());
            break;
        }
        // A screen reader names the page as its button does.
        page->setAccessibleName(button->accessibleName());
        const bool status = page == statusPage_;
        page->setGeometry(QRect(kPageOrigin, entry.pageSize));
        page->setVisible(status);
        button->setEnabled(!status);
        pageBar_->AddPage(page, button);
    }
}

void CQuillmereDlg::SetIconFromAppRuns()
{
    if (MonitoringSwitch::AppRuns() == 1) {
        SetIcon(ids::icon::kMonitoring);
        SetTip(QStringLiteral("Quillmere - Monitoring"));
    } else {
        SetIcon(ids::icon::kNotMonitoring);
        SetTip(QStringLiteral("Quillmere - Not monitoring"));
    }
}

int CQuillmereDlg::RunModal()
{
    QEventLoop loop;
    connect(this, &QDialog::finished, &loop, &QEventLoop::exit);
    show();
    return loop.exec();
}

void CQuillmereDlg::ShowFromOtherStart()
{
    ShowWindow();
}

void CQuillmereDlg::HideToTray()
{
    SetIconFromAppRuns();
    UpdateIcon();
    AddIcon();
    HideWindow();
}

void CQuillmereDlg::reject()
{
    HideToTray();
}

void CQuillmereDlg::SetMonitoring(bool on)
{
    // Only a switch to the other state does anything.
    if (MonitoringSwitch::AppRuns() != (on ? 0u : 1u))
        return;
    statusPage_->SwitchMonitoring(on);
    SetIcon(on ? ids::icon::kMonitoring : ids::icon::kNotMonitoring);
    SetTip(on ? QStringLiteral("Quillmere - Monitoring") : QStringLiteral("Quillmere - Not Monitoring"));
    UpdateIcon();
}

void CQuillmereDlg::ShowAbout()
{
    CAboutDlg about(isVisible() ? this : nullptr);
    about.exec();
}

void CQuillmereDlg::OnCommand(int id)
{
    using namespace ids::command;
    switch (id) {
    case kTrayShow:
        RemoveIcon();
        ShowWindow();
        break;
    case kTrayStartMonitoring: SetMonitoring(true); break;
    case kTrayStopMonitoring: SetMonitoring(false); break;
    case kHelpContents:
    case kTrayHelpContents: help_.Contents(); break;
    case kHelpIndex:
    case kTrayHelpIndex: help_.Index(); break;
    case kHelpSearch: help_.Search(QString()); break;
    case kTrayHelpSearch: help_.Search(QStringLiteral("lesson")); break;
    case kProductPage: OpenWebPage(WebPage::Product); break;
    case kCompanyPage: OpenWebPage(WebPage::Company); break;
    case kSupportPage: OpenWebPage(WebPage::Support); break;
    case kTellAFriend:
    case kTrayTellAFriend: OpenWebPage(WebPage::TellAFriend); break;
    case kAbout:
    case kAboutFromSystemMenu: ShowAbout(); break;
    case kMinimiseCommand:
    case kCloseCommand:
        if (TrayEnabled())
            ShortHide();
        break;
    case kTrayExit:
        RemoveIcon();
        done(0);
        break;
    default: break;
    }
}

void CQuillmereDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::HelpContents)) {
        help_.Contents();
        return;
    }
    // Alt+Space opens the system menu, as on a window with a title bar.
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::AltModifier) {
        systemMenu_->popup(mapToGlobal(QPoint(0, 0)));
        return;
    }
    CTrayIconDlg::keyPressEvent(event);
}

void CQuillmereDlg::contextMenuEvent(QContextMenuEvent* event)
{
    // The window has no title bar: its background stands in for it.
    systemMenu_->popup(event->globalPos());
}

}  // namespace ostrel
