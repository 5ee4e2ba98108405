#pragma once

#include "tools/slave/RegisterBank.h"
#include "tools/slave/SlaveDataModel.h"
#include "tools/slave/SlaveOptions.h"

namespace slave {

namespace detail {
struct BankHolder {
    explicit BankHolder(int size) : bank(size) {}
    CRegisterBank bank;
};
}  // namespace detail

// The table device with a bank of its own, built before the model that serves it.
class CTableModel : private detail::BankHolder, public CSlaveDataModel {
public:
    explicit CTableModel(const SlaveOptions& options)
        : detail::BankHolder(options.size), CSlaveDataModel(bank, options) {}
};

}  // namespace slave
