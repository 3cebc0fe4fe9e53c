#include "CPageBar.h"

#include "CConsolePage.h"
#include "CSkinButton.h"
#include "ConsoleTemplates.h"

namespace ostrel {

namespace {

constexpr int kReportsIndex = 2;

}  // namespace

CPageBar::CPageBar(QWidget* parent) : CSkinDialog(PageBarTemplate(), parent) {}

void CPageBar::AddPage(CConsolePage* page, CSkinButton* button)
{
    const int index = PageCount();
    pages_[index] = page;
    buttons_[index] = button;
    connect(button, &QPushButton::clicked, this, [this, index] { OnButtonClicked(index); });
}

void CPageBar::OnButtonClicked(int index)
{
    if (!enabled_)
        return;
    // Space on the focused button disables it; the focus then goes to the
    // page it opened, not on to the next button.
    const bool focused = buttons_[index]->hasFocus();
    ShowPage(index);
    if (focused)
        FocusPage(index);
}

void CPageBar::ChoosePage(int index)
{
    if (!enabled_ || !pages_.contains(index) || (index == current_ && pages_[index]->isVisible()))
        return;
    ShowPage(index);
    FocusPage(index);
}

void CPageBar::FocusPage(int index)
{
    for (QWidget* child : pages_[index]->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus)) {
            child->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void CPageBar::ChainTabOrder(QWidget* before)
{
    QWidget* last = before;
    const auto chain = [&last](QWidget* next) {
        if (last)
            QWidget::setTabOrder(last, next);
        last = next;
    };
    for (const auto& [index, button] : buttons_)
        chain(button);
    // The controls of each page in their template's order; Tab skips the
    // hidden pages.
    for (const auto& [index, page] : pages_) {
        for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (child->focusPolicy() & Qt::TabFocus)
                chain(child);
    }
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

}  // namespace ostrel
