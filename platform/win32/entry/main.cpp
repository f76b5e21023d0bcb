// The Windows entry point: a GUI program with no console.
#include <windows.h>

#include "app/program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const int code = app::runProgram();
  // Worker threads that ended a moment ago may still be leaving; ending the
  // process here stops them before the C runtime tears down what they use,
  // which returning from here would do first.
  ExitProcess(static_cast<UINT>(code));
}
