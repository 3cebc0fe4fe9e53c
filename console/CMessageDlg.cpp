#include "CMessageDlg.h"

#include "ApplicationFolder.h"
#include "CSkinButton.h"
#include "ConsoleConfig.h"
#include "ConsoleHelp.h"
#include "ConsoleTemplates.h"

#include <QKeyEvent>
#include <QLabel>

namespace ostrel {

namespace {

// The message box's face, shared with the about box.
void SkinLikeMessageBox(CSkinDialog& dialog)
{
    dialog.SetBackgroundBitmap(ids::bitmap::kMessageBox);
    dialog.SetColourRule(ColourRule::Pages());
    dialog.SetDraggable(true);
    dialog.setModal(true);
    if (CSkinButton* ok = dialog.Button(ids::control::kOk)) {
        ok->SetBitmaps(ids::bitmap::kOkNormal, ids::bitmap::kOkPressed);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    }
}

} // namespace

CMessageDlg::CMessageDlg(const QString& text, QWidget* parent) : CSkinDialog(MessageBoxTemplate(text), parent)
{
    SkinLikeMessageBox(*this);
    if (auto* label = qobject_cast<QLabel*>(Control(ids::control::kMessageText)))
        label->setTextFormat(Qt::PlainText);
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
    : CSkinDialog(AboutBoxTemplate(QStringLiteral("Quillmere %1").arg(QStringLiteral(OSTREL_VERSION)),
                                   QStringLiteral("The console of Ostrel, print monitoring and accounting: it "
                                                  "records every job of the printers you choose, with its pages "
                                                  "and cost, and reports them by printer, user and period.")),
                  parent)
{
    SkinLikeMessageBox(*this);
    if (auto* title = qobject_cast<QLabel*>(Control(ids::control::kAboutTitle))) {
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
    }
}

} // namespace ostrel
