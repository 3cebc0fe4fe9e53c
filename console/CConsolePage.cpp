#include "CConsolePage.h"

namespace ostrel {

CConsolePage::CConsolePage(const DialogTemplate& dialogTemplate, QWidget* parent)
    : CSkinDialog(dialogTemplate, parent)
{
}

void CConsolePage::Refresh()
{
    OnRefresh();
    emit Refreshed();
}

} // namespace ostrel
