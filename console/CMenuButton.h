#pragma once

#include "CSkinButton.h"
#include "ConsoleTemplates.h"

#include <QMenu>

namespace ostrel {

// A skinned button that opens its menu below itself when pressed, and
// reports the command chosen there. A press while the menu is up only
// closes it. GUI thread only; owns its menu.
class CMenuButton : public CSkinButton {
    Q_OBJECT

public:
    explicit CMenuButton(QWidget* parent = nullptr);

    void SetMenuItems(const std::vector<MenuItem>& items);
    QMenu& Menu() { return menu_; }
    bool MenuShown() const { return menuShown_; }

signals:
    void CommandChosen(int id);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QMenu menu_;
    bool hasItems_ = false;
    bool menuShown_ = false;
};

}  // namespace ostrel
