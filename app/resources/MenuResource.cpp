#include "app/resources/MenuResource.h"

#include "framework/CommandIds.h"

namespace {

MenuItemResource Item(const char* text, unsigned id) {
    return MenuItemResource{QString::fromUtf8(text), id};
}

MenuItemResource Separator() {
    return MenuItemResource{QString(), 0};
}

}  // namespace

const std::vector<MenuPopupResource>& MainMenuResource() {
    static const std::vector<MenuPopupResource> menu{
        {QString::fromUtf8("동작(&A)"),
         {Item("통신 환경 설정", ID_COMM_SETTINGS), Separator(),
          Item("데이타 스캔 시작", ID_SCAN_START), Item("데이타 스캔 중지", ID_SCAN_STOP),
          Separator(), Item("종료(&X)", ID_APP_EXIT)}},
        {QString::fromUtf8("보기(&V)"),
         {Item("도구 모음(&T)", ID_VIEW_TOOLBAR), Item("상태 표시줄(&S)", ID_VIEW_STATUS_BAR)}},
        {QString::fromUtf8("도움말(&H)"), {Item("Vornak 정보(&A)...", ID_APP_ABOUT)}},
    };
    return menu;
}

const std::vector<unsigned>& MainToolbarButtons() {
    static const std::vector<unsigned> buttons{ID_COMM_SETTINGS, 0, ID_SCAN_START,
                                               ID_SCAN_STOP,     0, ID_APP_ABOUT};
    return buttons;
}
