#include "CMessageDlg.h"

#include "ApplicationFolder.h"
#include "CSkinButton.h"
#include "ConsoleConfig.h"
#include "ConsoleHelp.h"
#include "ConsoleTemplates.h"

#include <QKeyEvent>
#include <QLabel>

namespace ostrel {

CMessageDlg::CMessageDlg(const DialogTemplate& dialogTemplate, QWidget* parent) : CSkinDialog(dialogTemplate, parent)
{
    SetBackgroundBitmap(ids::bitmap::kMessageBox);
    SetColourRule(ColourRule::Pages());
    SetDraggable(true);
    setModal(true);
    if (CSkinButton* ok = Button(ids::control::kOk)) {
        ok->SetBitmaps(ids::bitmap::kOkNormal, ids::bitmap::kOkPressed);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
    // Messages are plain text, whatever they quote.
    for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        label->setTextFormat(Qt::PlainText);
}

CMessageDlg::CMessageDlg(const QString& text, QWidget* parent) : CMessageDlg(MessageBoxTemplate(text), parent) {}

void CMessageDlg::showEvent(QShowEvent* event)
{
    CSkinDialog::showEvent(event);
    // Above the window it speaks for, also where no window manager stacks it.
    raise();
    activateWindow();
}

void CMessageDlg::Show(const QString& text, QWidget* parent)
{
    CMessageDlg dialog(text, parent);
    dialog.exec();
}

void CMessageDlg::keyPressEvent(QKeyEvent* event)
{
    // The application folder is read afresh: the box may come from any page.
    if (event->matches(QKeySequence::HelpContents)) {
        ConsoleHelp(ReadApplicationFolder()).Contents();
        return;
    }
    CSkinDialog::keyPressEvent(event);
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : CMessageDlg(AboutBoxTemplate(QStringLiteral("Quillmere %1").arg(QStringLiteral(OSTREL_VERSION)),
                                   QStringLiteral("The console of Ostrel, print monitoring and accounting: it "
                                                  "records every job of the printers you choose, with its pages "
                                                  "and cost, and reports them by printer, user and period.")),
                  parent)
{
    if (auto* title = qobject_cast<QLabel*>(Control(ids::control::kAboutTitle))) {
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
    }
}

}  // namespace ostrel
