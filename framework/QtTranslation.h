#pragma once

// Installs Qt's own Korean translation (qtbase_ko.qm from Qt's translations folder), so the
// standard texts Qt draws itself, message-box buttons first, read as on a Korean platform
// ("확인"). Once per process; false, with a warning, when the file cannot be loaded, and the
// standard texts then stay in English.
bool InstallQtKoreanTranslation();
