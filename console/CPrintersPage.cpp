#include "CPrintersPage.h"

#include "CMessageDlg.h"
#include "CSkinButton.h"
#include "ConsoleTemplates.h"
#include "SettingsDocument.h"
#include "SaveRights.h"
#include "SettingsEdits.h"
#include "SpoolerQueries.h"

#include <QHeaderView>
#include <QListWidget>
#include <QPointer>
#include <QTreeWidget>

#include <cstdio>

namespace ostrel {

using namespace ids::control::printers;

CPrintersPage::CPrintersPage(PageContext context, QWidget* parent)
    : CConsolePage(PrintersPageTemplate(), parent),
      context_(std::move(context)),
      list_(MonitoredList::ConfiguredLimit())
{
    SetColourRule(ColourRule::Pages());

    QTreeWidget& monitored = Monitored();
    monitored.setHeaderLabels({QStringLiteral("Printer Name"), QStringLiteral("Cost")});
    // The columns share the client width less 20 pixels, two thirds to the name.
    const int width = monitored.width() - 2 * monitored.frameWidth() - 20;
    monitored.setColumnWidth(0, 2 * width / 3);
    monitored.setColumnWidth(1, width / 3);
    monitored.header()->setSectionsMovable(true);
    monitored.setSelectionBehavior(QAbstractItemView::SelectRows);

    connect(Button(kAdd), &QPushButton::clicked, this, &CPrintersPage::Add);
    connect(Button(kRemove), &QPushButton::clicked, this, &CPrintersPage::Remove);
    connect(Button(kApply), &QPushButton::clicked, this, &CPrintersPage::Apply);
    connect(Button(kReset), &QPushButton::clicked, this, &CPrintersPage::Refresh);
    connect(&AllPrinters(), &QListWidget::itemSelectionChanged, this, &CPrintersPage::OnPrinterChosen);
    connect(&AllPrinters(), &QListWidget::itemDoubleClicked, this, &CPrintersPage::Add);
    connect(&monitored, &QTreeWidget::itemPressed, this, &CPrintersPage::OnRowChosen);
    // A row chosen with the keyboard counts as a click in the list.
    connect(&monitored, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (Monitored().hasFocus() && !Monitored().selectedItems().isEmpty())
            OnRowChosen();
    });
    connect(&monitored, &QTreeWidget::itemDoubleClicked, this, &CPrintersPage::Remove);
    Refresh();
}

QListWidget& CPrintersPage::AllPrinters() const
{
    return *qobject_cast<QListWidget*>(Control(kAll));
}

QTreeWidget& CPrintersPage::Monitored() const
{
    return *qobject_cast<QTreeWidget*>(Control(kMonitored));
}

void CPrintersPage::OnRefresh()
{
    AllPrinters().clear();
    list_.Load(SettingsDocument::InFolder(context_.appFolder).Read());
    ShowRows();
    Button(kAdd)->setEnabled(false);
    Button(kRemove)->setEnabled(false);

    QPointer<CPrintersPage> page(this);
    context_.spooler.AskPrinters([page](PrinterListAnswer answer) {
        if (!page)
            return;
        if (answer.failure) {
            // Told when the user looks at the page, not when it fills unseen.
            if (page->isVisible())
                CMessageDlg::Show(QString::fromStdString(*answer.failure), page);
        } else {
            std::printf("Found %d printes\n\n", static_cast<int>(answer.names.size()));
            std::fflush(stdout);
            for (const std::string& name : answer.names)
                page->AllPrinters().addItem(QString::fromStdString(name));
        }
        emit page->PrintersShown();
    });
}

void CPrintersPage::ShowRows()
{
    QTreeWidget& monitored = Monitored();
    monitored.clear();
    for (const MonitoredList::Row& row : list_.Rows())
        monitored.addTopLevelItem(
            new QTreeWidgetItem({QString::fromStdString(row.name), QString::fromStdString(row.cost)}));
}

const QListWidgetItem* CPrintersPage::ChosenPrinter() const
{
    // The selected entry, however chosen: a click, the keys, or a screen
    // reader's selection, which leaves the current item where it was.
    const QList<QListWidgetItem*> selected = AllPrinters().selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

void CPrintersPage::OnPrinterChosen()
{
    const QListWidgetItem* chosen = ChosenPrinter();
    Button(kRemove)->setEnabled(false);
    Button(kAdd)->setEnabled(chosen && !list_.Lists(chosen->text().toStdString()));
}

void CPrintersPage::OnRowChosen()
{
    AllPrinters().clearSelection();
    Button(kAdd)->setEnabled(false);
    Button(kRemove)->setEnabled(true);
}

void CPrintersPage::Add()
{
    const QListWidgetItem* chosen = ChosenPrinter();
    if (!chosen)
        return;
    if (list_.Add(chosen->text().toStdString()) == MonitoredList::AddResult::LimitReached)
        CMessageDlg::Show(QString::fromStdString(MonitoredList::LimitMessage(list_.Limit())), this);
    ShowRows();
    OnPrinterChosen();
}

void CPrintersPage::Remove()
{
    const QList<QTreeWidgetItem*> selected = Monitored().selectedItems();
    if (selected.isEmpty())
        return;
    list_.Remove(static_cast<std::size_t>(Monitored().indexOfTopLevelItem(selected.first())));
    ShowRows();
}

void CPrintersPage::Apply()
{
    context_.rights.BeforeChange(this);
    settings_edits::ApplyPrinters(context_.appFolder, list_.Rows());
    Refresh();
}

}  // namespace ostrel
