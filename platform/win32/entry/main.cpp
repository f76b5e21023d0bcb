// The Windows entry point: a GUI program with no console.
#include <windows.h>

#include "app/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return app::runProgram(); }
