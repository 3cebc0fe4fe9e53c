#include "CConsolePage.h"

#include "CSkinButton.h"
#include "ConsoleTemplates.h"

namespace ostrel {

CConsolePage::CConsolePage(const DialogTemplate& dialogTemplate, QWidget* parent)
    : CSkinDialog(dialogTemplate, parent)
{
    for (const ButtonSkin& skin : ButtonSkins(dialogTemplate.id))
        if (CSkinButton* button = Button(skin.id))
            button->SetBitmaps(skin.normal, skin.pressed, skin.hover, skin.disabled);
}

void CConsolePage::Refresh()
{
    OnRefresh();
    emit Refreshed();
}

} // namespace ostrel
