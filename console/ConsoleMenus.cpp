#include "ConsoleMenus.h"

#include <QAction>
#include <QMenu>

namespace ostrel {

void FillMenu(QMenu& menu, const std::vector<MenuItem>& items)
{
    for (const MenuItem& item : items) {
        if (item.id == ids::kSeparator)
            menu.addSeparator();
        else
            menu.addAction(item.caption)->setData(item.id);
    }
}

int CommandOf(const QAction* action)
{
    return action && !action->isSeparator() ? action->data().toInt() : 0;
}

}  // namespace ostrel
