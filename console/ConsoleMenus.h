#pragma once

#include "ConsoleTemplates.h"

class QAction;
class QMenu;

namespace ostrel {

// Fills a menu from its items; each action carries its command id.
void FillMenu(QMenu& menu, const std::vector<MenuItem>& items);

// The command id of an action of such a menu; 0 for any other action.
int CommandOf(const QAction* action);

}  // namespace ostrel
