#pragma once

#include "CConsolePage.h"
#include "MonitoringSwitch.h"
#include "PageContext.h"

class QLabel;

namespace ostrel {

// The first page: the monitoring switch (Start and Stop, and the state as
// AppRuns holds it), the current user, the default printer, and today's
// reports of both, and how far the central database is behind. The tray menu's Start and Stop come here too. The
// default printer arrives from the spooler after the rest. GUI thread only.
class CStatusPage : public CConsolePage {
    Q_OBJECT

public:
    CStatusPage(PageContext context, QWidget* parent);

    // The single entry of the switch: Start when `on`, Stop otherwise.
    void SwitchMonitoring(bool on);
    void Start() { SwitchMonitoring(true); }
    void Stop() { SwitchMonitoring(false); }

    MonitoringSwitch& Switch() { return switch_; }

    QString StatusText() const;
    QString UserText() const;
    QString DefaultPrinterText() const;
    QString CentralText() const;

protected:
    void OnRefresh() override;

private:
    QLabel* Label(int id) const;

    PageContext context_;
    MonitoringSwitch switch_;
    std::string defaultPrinter_;  // empty: none
};

}  // namespace ostrel
