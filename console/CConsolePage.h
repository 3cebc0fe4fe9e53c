#pragma once

#include "CSkinDialog.h"

namespace ostrel {

// A page of the main window: a child dialog in the page area that brings
// its contents up to date each time the page bar shows it. GUI thread only.
class CConsolePage : public CSkinDialog {
    Q_OBJECT

public:
    // The page's skinned buttons get their pictures from the template's
    // table of button skins.
    explicit CConsolePage(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);

    // Re-reads what the page shows, then tells Refreshed.
    void Refresh();

signals:
    void Refreshed();

protected:
    // The page's own re-reading; nothing by default.
    virtual void OnRefresh() {}
};

}  // namespace ostrel
