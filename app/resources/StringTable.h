#pragma once

#include <span>

#include "framework/StringTable.h"

// The program's string table, by numeric id.
std::span<const StringResource> VornakStringTable();
