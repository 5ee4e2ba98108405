#pragma once

#include "scan/Settings.h"

class CProfileStore;

// Section and value names of the profile store; "Salve ID" is the name the store has always had.
inline constexpr const char* kMainEnvSection = "Main Env";
inline constexpr const char* kModbusEnvSection = "ModBus Env";

// Reads both records in the stored order, each value with its default; the slave address and
// the start address are taken as their maximum when larger. The quantity limit is applied when
// the edits are filled.
void LoadSettings(const CProfileStore& store, MainEnv& env, ModbusEnv& modbusEnv);
// Writes the fourteen values; false when the store could not be written.
bool SaveSettings(CProfileStore& store, const MainEnv& env, const ModbusEnv& modbusEnv);
