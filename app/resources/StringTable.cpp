#include "app/resources/StringTable.h"

#include <iterator>

#include "framework/CommandIds.h"

namespace {

// Command strings are "prompt\ntooltip"; indicator strings are the panes' first texts.
constexpr StringResource kStrings[] = {
    {IDR_MAINFRAME, "Vornak\n\nVorna\n\n\nVornak.Document\nVorna Document"},
    {IDS_APP_TITLE, "Vornak"},
    {IDS_IDLE_MESSAGE, "준비"},
    {ID_COMM_SETTINGS, "Vornak 프로그램의 통신 환경을 설정합니다.\n통신 환경 설정"},
    {ID_SCAN_START, "Polling 방식의 데이터 스캔 동작을 시작합니다.\n데이타 스캔 시작"},
    {ID_SCAN_STOP, "Polling 방식의 데이타 스캔 동작을 중지합니다.\n데이타 스캔 중지"},
    {ID_APP_EXIT, "Vornak 프로그램을 종료합니다.\n종료"},
    {ID_VIEW_TOOLBAR, "도구 모음을 보이거나 감춥니다\n도구 모음 전환"},
    {ID_VIEW_STATUS_BAR, "상태 표시줄을 표시하거나 감춥니다\n상태 표시줄 전환"},
    {ID_APP_ABOUT, "Vornak 프로그램, 버전 및 저작권 정보를 표시합니다\nVornak 정보"},
    {ID_INDICATOR_PORT, "COM1"},
    {ID_INDICATOR_BAUD, "BPS : 9600"},
    {ID_INDICATOR_MODE, "Mode : RTU"},
    {ID_INDICATOR_SCAN_TIME, "Scan Time : 1000ms"},
    {ID_INDICATOR_LAMP, "..."},
};

}  // namespace

std::span<const StringResource> VornakStringTable() {
    return std::span<const StringResource>(kStrings, std::size(kStrings));
}
