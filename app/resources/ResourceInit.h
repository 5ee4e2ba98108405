#pragma once

// Registers the program's resources with the framework: installs the string table and the
// compiled-in bitmaps and icon. The program and every test that needs resources call it once
// after creating the application object, before the first lookup. Being an ordinary function
// call, it makes the linker keep the resource objects of the static library; calling it again
// does no harm.
void InitVornakResources();
