#include "CMenuButton.h"

#include "ConsoleMenus.h"

#include <QMouseEvent>

namespace ostrel {

CMenuButton::CMenuButton(QWidget* parent) : CSkinButton(parent)
{
    // The press that closes the menu on this button must not open it again.
    menu_.setAttribute(Qt::WA_NoMouseReplay);
    connect(&menu_, &QMenu::triggered, this, [this](QAction* action) {
        if (const int id = CommandOf(action))
            emit CommandChosen(id);
    });
    // Space, or a screen reader's press, opens the menu as a click would.
    connect(this, &QPushButton::clicked, this, [this] {
        if (hasItems_ && !menuShown_) {
            menuShown_ = true;
            update();
            menu_.popup(mapToGlobal(rect().bottomLeft()));
        }
    });
    connect(&menu_, &QMenu::aboutToHide, this, [this] {
        menuShown_ = false;
        update();
    });
}

void CMenuButton::SetMenuItems(const std::vector<MenuItem>& items)
{
    menu_.clear();
    FillMenu(menu_, items);
    hasItems_ = !menu_.actions().isEmpty();
}

void CMenuButton::mousePressEvent(QMouseEvent* event)
{
    if (menuShown_) {
        menuShown_ = false;
        menu_.hide();
        update();
        return;
    }
    if (event->button() == Qt::LeftButton && hasItems_ && rect().contains(event->position().toPoint())) {
        setFocus(Qt::MouseFocusReason);
        menuShown_ = true;
        update();
        menu_.popup(mapToGlobal(rect().bottomLeft()));
        return;
    }
    CSkinButton::mousePressEvent(event);
}

}  // namespace ostrel
