#pragma once

#include <string>

// The per-user settings file: $XDG_CONFIG_HOME/Quorvix/Vornak.ini, else
// $HOME/.config/Quorvix/Vornak.ini. Worked out anew at each call, so it follows the environment.
std::string ProfilePath();
