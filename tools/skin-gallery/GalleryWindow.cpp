#include "GalleryWindow.h"

#include "CSkinButton.h"
#include "DialogBuilder.h"
#include "ConsoleTemplates.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTreeWidget>

namespace ostrel::gallery {

GalleryWindow::GalleryWindow(QWidget* parent) : CSkinDialog(MainWindowTemplate(), parent)
{
    SetBackgroundBitmap(151);
    SetColourRule({std::nullopt, QColor(Qt::black)});
    ShapeByColourKey();
    SetDraggable(true);
    if (auto* caption = qobject_cast<QLabel*>(Control(1000))) {
        QFont large = caption->font();
        large.setPixelSize(17);
        large.setBold(true);
        caption->setFont(large);
        caption->adjustSize();
    }
    Button(1046)->SetBitmaps(154, 154);
    Button(1058)->SetBitmaps(166, 166);
    connect(Button(1046), &QPushButton::clicked, this, &GalleryWindow::CloseRequested);
    connect(Button(1058), &QPushButton::clicked, this, &GalleryWindow::HelpRequested);

    pageBar_ = new CSkinDialog(PageBarTemplate(), this);
    pageBar_->move(10, 90);
    pageBar_->SetBackgroundBitmap(152);

    for (std::size_t index = 0; index < pages_.size(); ++index) {
        const PageEntry& entry = PageTable()[index];
        auto* button = new CSkinButton(pageBar_);
        DialogBuilder::SetId(*button, entry.buttonId);
        button->setGeometry(QRect(entry.buttonOrigin, kPageButtonSize));
        button->SetBitmaps(entry.normal, entry.pressed, entry.hover, entry.pressed);
        connect(button, &QPushButton::clicked, this, [this, index] { ShowPage(static_cast<int>(index)); });
        pageButtons_[index] = button;

        auto* page = new CSkinDialog(PageTemplate(entry.templateId), this);
        page->SetColourRule(index == 0 ? ColourRule::WhiteFace() : ColourRule::Pages());
        page->setGeometry(QRect(kPageOrigin, entry.pageSize));
        ApplyButtonSkins(*page, entry.templateId);
        pages_[index] = page;
    }

    CSkinDialog& status = *pages_[0];
    status.Control(1051)->setProperty("text", QStringLiteral("operator"));
    status.Control(1052)->setProperty("text", QStringLiteral("Laser-3rd-Floor"));
    // Start and Stop take turns, as the monitoring switch will have them.
    connect(status.Button(1047), &QPushButton::clicked, this, [&status] {
        status.Button(1047)->setEnabled(false);
        status.Button(1048)->setEnabled(true);
        status.Control(1050)->setProperty("text", QStringLiteral("Monitoring"));
    });
    connect(status.Button(1048), &QPushButton::clicked, this, [&status] {
        status.Button(1048)->setEnabled(false);
        status.Button(1047)->setEnabled(true);
        status.Control(1050)->setProperty("text", QStringLiteral("NOT Monitoring"));
    });
    status.Button(1047)->setEnabled(false);

    CSkinDialog& printers = *pages_[1];
    if (auto* all = qobject_cast<QListWidget*>(printers.Control(1009)))
        all->addItems(
            {QStringLiteral("Laser-3rd-Floor"), QStringLiteral("Colour-Plotter"), QStringLiteral("Front-Desk")});
    if (auto* chosen = qobject_cast<QTreeWidget*>(printers.Control(1021))) {
        chosen->setHeaderLabels({QStringLiteral("Printer Name"), QStringLiteral("Cost")});
        chosen->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Laser-3rd-Floor"), QStringLiteral("4")}));
        chosen->setColumnWidth(0, 2 * (chosen->width() - 20) / 3);
    }

    CSkinDialog& reports = *pages_[2];
    if (auto* period = qobject_cast<QComboBox*>(reports.Control(1001)))
        period->addItems({QStringLiteral("Today"), QStringLiteral("This week"), QStringLiteral("Last month")});

    CSkinDialog& settings = *pages_[3];
    if (auto* printer = qobject_cast<QComboBox*>(settings.Control(1002)))
        printer->addItem(QStringLiteral("Laser-3rd-Floor"));

    ShowPage(0);
}

void GalleryWindow::ShowPage(int index)
{
    for (std::size_t other = 0; other < pages_.size(); ++other) {
        pages_[other]->hide();
        pageButtons_[other]->setEnabled(true);
    }
    const auto chosen = static_cast<std::size_t>(index);
    pages_[chosen]->show();
    pageButtons_[chosen]->setEnabled(false);
}

}  // namespace ostrel::gallery
