#pragma once

#include <QString>

#include <optional>

#include "scan/Settings.h"

// The texts of the four request edits of the scan form.
struct ScanEditTexts {
    QString strSlaveId;   // 1013
    QString strAddrHex;   // 1016
    QString strQuantity;  // 1017
    QString strAddrDec;   // 1018
};

struct EditRefreshInput {
    ScanEditTexts edits;
    bool bHexModified = false;  // the user changed 1016 since its text was last set
    bool bDecModified = false;  // the user changed 1018 since its text was last set
    int nFunctionEntry = 0;     // selected entry of the function list at the start of the cycle
    ModbusEnv env;
};

struct EditRefreshResult {
    // The request of this cycle; byReadFunc is the entry the cycle sends.
    ModbusEnv env;
    // To be pushed back into the edits, which also clears their modified flags.
    ScanEditTexts edits;
    // Set when the decimal edit chose a function; it is selected in the list now and sent from
    // the next cycle on.
    std::optional<int> selectEntry;
    int nSendEntry = 0;                     // the function entry this cycle sends
    int nLineBase = kReferenceBaseHolding;  // the reference base of this cycle's lines
};

// Takes the request over from the edits, once per read cycle. The decimal edit is handled
// after the hexadecimal one, so it wins when both were changed.
EditRefreshResult RefreshModbusEnv(const EditRefreshInput& input);

struct InitialEdits {
    ScanEditTexts edits;
    ModbusEnv env;  // wReadQuan limited for its function
};

// The edit texts shown when the records have been loaded. `selectedEntry` is the function
// list's selection (-1 when byReadFunc has no entry); it gives the decimal reference number.
InitialEdits InitialEditTexts(const ModbusEnv& env, int selectedEntry);
