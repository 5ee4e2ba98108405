#pragma once

// Command, indicator and resource ids, named once for the whole program.

// Commands of the menu and the toolbar.
constexpr unsigned ID_COMM_SETTINGS = 32771;
constexpr unsigned ID_SCAN_START = 32772;
constexpr unsigned ID_SCAN_STOP = 32773;
constexpr unsigned ID_APP_ABOUT = 57664;
constexpr unsigned ID_APP_EXIT = 57665;
// The show/hide commands double as the window ids of the bars they toggle.
constexpr unsigned ID_VIEW_TOOLBAR = 59392;
constexpr unsigned ID_VIEW_STATUS_BAR = 59393;

// Status-bar panes; each id other than the message pane also names its initial text.
constexpr unsigned ID_SEPARATOR = 0;
constexpr unsigned ID_INDICATOR_PORT = 61210;
constexpr unsigned ID_INDICATOR_BAUD = 61211;
constexpr unsigned ID_INDICATOR_MODE = 61212;
constexpr unsigned ID_INDICATOR_SCAN_TIME = 61213;
constexpr unsigned ID_INDICATOR_LAMP = 61214;

// Resources.
constexpr unsigned IDR_MAINFRAME = 128;  // menu, toolbar strip, icon, document string
constexpr unsigned IDD_ABOUTBOX = 100;
constexpr unsigned IDD_SCAN_FORM = 101;
constexpr unsigned IDD_COMM_SETTINGS = 130;
constexpr unsigned IDD_WRITE_VALUE = 133;
constexpr unsigned IDB_LAMP_LIT = 134;
constexpr unsigned IDB_LAMP_UNLIT = 135;
constexpr unsigned IDS_APP_TITLE = 57344;
constexpr unsigned IDS_IDLE_MESSAGE = 57345;

// Dialog results, also the ids of the OK and Cancel buttons.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
// Controls that nobody looks up (labels, group boxes).
constexpr int IDC_STATIC = -1;
