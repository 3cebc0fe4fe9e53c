#pragma once

#include "CConsolePage.h"
#include "PageContext.h"

#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ostrel {

// The fourth page: the e-mail report switch (EmailLog), the way to the
// e-mail settings, the cost per page of a monitored printer, and whether
// the records name the documents printed (RecordDocumentNames). A cost
// that is not a whole number gets the toolkit's own "Please enter an
// integer.". GUI thread only.
class CSettingsPage : public CConsolePage {
    Q_OBJECT

public:
    CSettingsPage(PageContext context, QWidget* parent);

    // What "Configure" opens; nothing until it is set.
    void SetEmailSettingsDialog(std::function<void()> open) { openEmailSettings_ = std::move(open); }

    void ApplyCost();

    QCheckBox& EmailSwitch() const;
    QCheckBox& DocumentNamesSwitch() const;
    QComboBox& Printers() const;
    QLineEdit& Cost() const;

protected:
    void OnRefresh() override;

private:
    // The cost as typed; nothing, after the toolkit's message, when it is
    // not a signed 32-bit integer.
    std::optional<std::int32_t> TakeCost();
    void OnEmailSwitch();
    void OnDocumentNamesSwitch();
    void OnPrinterChosen();

    PageContext context_;
    std::function<void()> openEmailSettings_;
};

}  // namespace ostrel
