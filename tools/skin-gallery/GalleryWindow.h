#pragma once

#include "CSkinDialog.h"

#include <array>

namespace ostrel::gallery {

// The main window as the console will have it: a shaped picture that
// drags by its background, a page bar of four page buttons, four pages
// made from their templates, a help and a close button.
class GalleryWindow : public CSkinDialog {
    Q_OBJECT

public:
    explicit GalleryWindow(QWidget* parent = nullptr);

    void ShowPage(int index);

signals:
    void HelpRequested();
    void CloseRequested();

private:
    CSkinDialog* pageBar_ = nullptr;
    std::array<CSkinDialog*, 4> pages_{};
    std::array<CSkinButton*, 4> pageButtons_{};
};

}  // namespace ostrel::gallery
