#pragma once

#include <string>

// Which RS-485 direction control an open found in force on a device, kept for the port
// tooltip: "kernel RS-485 mode" or "RTS driven by the program"; empty while unknown.
void NoteDirectionControl(const std::string& device, const std::string& how);
std::string DirectionControlOf(const std::string& device);
