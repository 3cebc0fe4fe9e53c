#include "CConsolePage.h"

#include "ConsoleTemplates.h"

namespace ostrel {

CConsolePage::CConsolePage(const DialogTemplate& dialogTemplate, QWidget* parent) : CSkinDialog(dialogTemplate, parent)
{
    ApplyButtonSkins(*this, dialogTemplate.id);
}

void CConsolePage::Refresh()
{
    OnRefresh();
    emit Refreshed();
}

}  // namespace ostrel
