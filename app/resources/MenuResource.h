#pragma once

#include <QString>
#include <vector>

// Menu 128 and toolbar 128 as tables; the frame builds its menu bar and toolbar from them.
struct MenuItemResource {
    QString text;  // empty for a separator
    unsigned id;   // 0 for a separator
};

struct MenuPopupResource {
    QString title;
    std::vector<MenuItemResource> items;
};

const std::vector<MenuPopupResource>& MainMenuResource();

// Toolbar buttons in order, 0 for a separator. The n-th command uses the n-th 16 x 16 image of
// bitmap 128 (separators take no image).
const std::vector<unsigned>& MainToolbarButtons();
inline constexpr int kToolbarButtonSize = 16;
