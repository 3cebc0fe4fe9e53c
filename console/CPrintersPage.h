#pragma once

#include "CConsolePage.h"
#include "MonitoredList.h"
#include "PageContext.h"

class QListWidget;
class QListWidgetItem;
class QTreeWidget;

namespace ostrel {

// The second page: every printer of the spooler, and the printers chosen
// for monitoring with their cost. Add and Remove change the chosen list
// only; Apply writes it to settings.xml and asks the monitor to reload;
// Reset reloads the page. The spooler's list arrives after the rest.
// GUI thread only.
class CPrintersPage : public CConsolePage {
    Q_OBJECT

public:
    CPrintersPage(PageContext context, QWidget* parent);

    void Add();
    void Remove();
    void Apply();

    QListWidget& AllPrinters() const;
    QTreeWidget& Monitored() const;
    const MonitoredList& List() const { return list_; }

signals:
    // The spooler's printers are shown (or its failure was told).
    void PrintersShown();

protected:
    void OnRefresh() override;

private:
    const QListWidgetItem* ChosenPrinter() const;
    void OnPrinterChosen();
    void OnRowChosen();
    void ShowRows();

    PageContext context_;
    MonitoredList list_;
};

}  // namespace ostrel
