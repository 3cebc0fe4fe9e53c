#include "CPageBar.h"

#include "CConsolePage.h"
#include "CSkinButton.h"
#include "ConsoleTemplates.h"

namespace ostrel {

namespace {

constexpr int kReportsIndex = 2;

} // namespace

CPageBar::CPageBar(QWidget* parent) : CSkinDialog(PageBarTemplate(), parent)
{
}

void CPageBar::AddPage(CConsolePage* page, CSkinButton* button)
{
    const int index = PageCount();
    pages_[index] = page;
    buttons_[index] = button;
    connect(button, &QPushButton::clicked, this, [this, index] { OnButtonClicked(index); });
}

void CPageBar::OnButtonClicked(int index)
{
    if (enabled_)
        ShowPage(index);
}

void CPageBar::ShowPage(int index)
{
    if (!pages_.contains(index))
        return;
    // The reports and settings pages keep what the user chose on them.
    if (index >= kReportsIndex && index == current_ && pages_[index]->isVisible())
        return;
    for (auto& [other, page] : pages_) {
        page->hide();
        buttons_[other]->setEnabled(true);
    }
    pages_[index]->show();
    buttons_[index]->setEnabled(false);
    current_ = index;
    pages_[index]->Refresh();
}

CConsolePage* CPageBar::Page(int index) const
{
    const auto it = pages_.find(index);
    return it == pages_.end() ? nullptr : it->second;
}

CSkinButton* CPageBar::PageButton(int index) const
{
    const auto it = buttons_.find(index);
    return it == buttons_.end() ? nullptr : it->second;
}

} // namespace ostrel
