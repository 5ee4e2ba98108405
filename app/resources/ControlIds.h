#pragma once

// Control ids of the dialog templates and the scan form.

// Communication settings dialog (130).
constexpr int IDC_PORT = 1000;
constexpr int IDC_BAUD_RATE = 1001;
constexpr int IDC_PARITY = 1002;
constexpr int IDC_STOP_BITS = 1003;
constexpr int IDC_DATA_SIZE = 1004;
constexpr int IDC_TIMEOUT = 1005;
constexpr int IDC_CHAR_INTERVAL = 1007;
constexpr int IDC_MODE_RTU = 1008;
constexpr int IDC_MODE_ASCII = 1009;
constexpr int IDC_DTR_DSR = 1010;
constexpr int IDC_RTS_CTS = 1011;
constexpr int IDC_XON_XOFF = 1012;
constexpr int IDC_SCAN_TIME = 1023;

// Scan form (101).
constexpr int IDC_SLAVE_ID = 1013;
constexpr int IDC_FUNCTION = 1015;
constexpr int IDC_ADDR_HEX = 1016;
constexpr int IDC_QUANTITY = 1017;
constexpr int IDC_ADDR_DEC = 1018;
constexpr int IDC_RESPONSE_LIST = 1020;
constexpr int IDC_STATUS_LINE = 1022;
constexpr int IDC_TEST_MODE = 1028;
constexpr int IDC_INC_CH1 = 1029;
constexpr int IDC_INC_CH2 = 1030;

// Write value dialog (133).
constexpr int IDC_WRITE_FUNCTION = 1024;
constexpr int IDC_WRITE_ADDRESS = 1025;
constexpr int IDC_WRITE_VALUE = 1026;
