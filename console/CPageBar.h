#pragma once

#include "CSkinDialog.h"

#include <map>

namespace ostrel {

class CConsolePage;
class CSkinButton;

// The bar of page buttons on the left of the main window. It knows each
// page and its button by page index and switches between them: the page
// shown has its button disabled, which shows the pressed picture. Clicks
// are ignored until the owner enables switching. GUI thread only; the
// pages belong to the main window, the buttons to the bar.
class CPageBar : public CSkinDialog {
    Q_OBJECT

public:
    explicit CPageBar(QWidget* parent);

    void SetSwitchingEnabled(bool enabled) { enabled_ = enabled; }
    bool SwitchingEnabled() const { return enabled_; }

    // Registers a page and its button under the next index.
    void AddPage(CConsolePage* page, CSkinButton* button);

    // Shows the page of this index and refreshes it. The status and printers
    // pages are refreshed at every choice, the reports and settings pages
    // only when they were not shown already.
    void ShowPage(int index);

    // A choice from the keyboard (Ctrl+1 to Ctrl+4): as a click on the
    // page's button, then the focus goes to the page's first control. The
    // page shown already stays as it is, as its disabled button would.
    void ChoosePage(int index);

    // Tab visits the page buttons in page order, then the page shown.
    void ChainTabOrder(QWidget* before);

    int CurrentIndex() const { return current_; }
    int PageCount() const { return static_cast<int>(pages_.size()); }
    CConsolePage* Page(int index) const;
    CSkinButton* PageButton(int index) const;

private:
    void OnButtonClicked(int index);
    void FocusPage(int index);

    std::map<int, CConsolePage*> pages_;
    std::map<int, CSkinButton*> buttons_;
    int current_ = 0;
    bool enabled_ = false;
};

}  // namespace ostrel
