// skin-gallery: the skin toolkit on its own, for looking at by eye.
//   skin-gallery                      the windows, to try by hand
//   skin-gallery --screenshot FILE    the windows at fixed places, the
//                                     screen saved as PNG, then exit
//   --page N                          start on page N (0 to 3) of the main window
#include "CResizeDlg.h"
#include "CSkinButton.h"
#include "CSkinDialog.h"
#include "ConsoleTemplates.h"
#include "GalleryWindow.h"
#include "PictureTable.h"
#include "SkinResources.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QHBoxLayout>
#include <QPainter>
#include <QScreen>
#include <QTextBrowser>
#include <QWindow>

#include <cstdio>

using namespace ostrel;
using namespace ostrel::gallery;

namespace {

// Every picture of the skin with its number, role and caption.
QString PictureCatalogue()
{
    const auto parsed = PictureTable::Parse(SkinResources::PictureTableText());
    if (!parsed.table)
        return QStringLiteral("<p>The picture table does not read: %1</p>").arg(parsed.error.toHtmlEscaped());
    QString html = QStringLiteral("<h3>The skin's pictures</h3>");
    for (const PictureRow& row : parsed.table->Pictures()) {
        QString source;
        switch (KindOf(row.role)) {
        case PictureKind::Bitmap: source = BitmapResourcePath(row.number); break;
        case PictureKind::Icon: source = IconResourcePath(row.number, 32); break;
        case PictureKind::Cursor: source = CursorResourcePath(row.number); break;
        }
        html += QStringLiteral("<p><b>%1</b> &nbsp; %3 %4 &nbsp; <i>%5</i><br><img src='%2'></p>")
                    .arg(row.number)
                    .arg(source, RoleName(row.role), row.variant.toHtmlEscaped(),
                         row.captionLines.join(QLatin1Char(' ')).toHtmlEscaped());
    }
    return html;
}

bool AllExposed(const QList<QWidget*>& windows)
{
    for (const QWidget* window : windows) {
        if (!window->windowHandle() || !window->windowHandle()->isExposed())
            return false;
    }
    return true;
}

// The screen as the X server shows it; where the platform cannot read the
// screen back, the windows' own pictures composed at their places.
QImage Screenshot(const QList<QWidget*>& windows)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QImage grabbed = screen->grabWindow(0).toImage();
    if (!grabbed.isNull())
        return grabbed;

    QImage composed(screen->size(), QImage::Format_RGB32);
    composed.fill(QColor(0x30, 0x36, 0x40));
    QPainter painter(&composed);
    for (QWidget* window : windows) {
        const QRegion shape = window->mask().isEmpty() ? QRegion(window->rect()) : window->mask();
        painter.setClipRegion(shape.translated(window->pos()));
        painter.drawPixmap(window->pos(), window->grab());
    }
    return composed;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("skin-gallery"));
    QApplication::setWindowIcon(SkinResources::Icon(230));
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype shotAt = arguments.indexOf(QStringLiteral("--screenshot"));
    const QString screenshot = shotAt > 0 && shotAt + 1 < arguments.size() ? arguments[shotAt + 1] : QString();
    const qsizetype pageAt = arguments.indexOf(QStringLiteral("--page"));
    bool pageRead = pageAt < 0;
    const int page = pageAt > 0 && pageAt + 1 < arguments.size() ? arguments[pageAt + 1].toInt(&pageRead) : 0;
    if ((shotAt > 0 && screenshot.isEmpty()) || !pageRead || page < 0 || page > 3) {
        std::fprintf(stderr, "usage: skin-gallery [--screenshot FILE] [--page 0-3]\n");
        return 2;
    }

    GalleryWindow main;
    main.ShowPage(page);
    main.move(20, 20);

    CSkinDialog message(
        MessageBoxTemplate(QStringLiteral("From now on all jobs printed will have this cost assigned. "
                                          "The jobs monitored until now keep the old cost.")));
    message.SetBackgroundBitmap(210);
    message.SetColourRule({std::nullopt, QColor(80, 80, 80)});
    message.SetDraggable(true);
    message.Button(1)->SetBitmaps(212, 211);
    QObject::connect(message.Button(1), &QPushButton::clicked, &message, &QDialog::accept);
    message.move(20, 450);

    CSkinDialog email(EmailSettingsTemplate());
    email.SetBackgroundBitmap(214);
    email.SetColourRule(ColourRule::Pages());
    email.ShapeByColourKey();
    email.SetDraggable(true);
    ApplyButtonSkins(email, ids::dialog::kEmailSettings);
    QObject::connect(email.Button(2), &QPushButton::clicked, &email, &QDialog::reject);
    email.move(630, 20);

    DialogTemplate catalogue = ReportViewerTemplate();
    catalogue.title = QStringLiteral("Skin pictures");
    catalogue.styles |= WindowStyle::Caption;
    CResizeDlg viewer(catalogue);
    auto* browser = new QTextBrowser;
    browser->setHtml(PictureCatalogue());
    auto* area = new QHBoxLayout(viewer.Control(1008));
    area->setContentsMargins(0, 0, 0, 0);
    area->addWidget(browser);
    viewer.AddControl(1008, EdgeModes::All(EdgeMode::Stretch), true);
    viewer.AddControl(1, EdgeModes::All(EdgeMode::Move), true);
    viewer.AddControl(2, EdgeModes::All(EdgeMode::Move), true);
    qobject_cast<CSkinButton*>(viewer.Control(1))->SetBitmaps(222, 221);
    qobject_cast<CSkinButton*>(viewer.Control(2))->SetBitmaps(224, 223);
    QObject::connect(qobject_cast<CSkinButton*>(viewer.Control(2)), &QPushButton::clicked, &viewer, &QDialog::reject);
    viewer.move(400, 470);

    QObject::connect(&main, &GalleryWindow::CloseRequested, &application, &QApplication::quit);
    QObject::connect(&main, &GalleryWindow::HelpRequested, &message, &QWidget::show);

    const QList<QWidget*> windows{&main, &email, &message, &viewer};
    for (QWidget* window : windows)
        window->show();
    if (screenshot.isEmpty())
        return QApplication::exec();

    // Wait, within reason, until the server shows every window, then draw
    // them once more so that the screen holds their final pictures.
    const QDeadlineTimer deadline(10000);
    while (!AllExposed(windows) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    for (QWidget* window : windows)
        window->repaint();
    QCoreApplication::processEvents();

    const QImage shot = Screenshot(windows);
    if (!AllExposed(windows) || shot.isNull() || !shot.save(screenshot, "PNG")) {
        std::fprintf(stderr, "skin-gallery: could not take the screenshot %s\n", qPrintable(screenshot));
        return 1;
    }
    std::printf("%s\n", qPrintable(screenshot));
    return 0;
}
