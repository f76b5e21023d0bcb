#pragma once
// Functions of system libraries found by name at run time, for those that
// older systems lack.
#include <windows.h>

namespace platform::win32 {

// `function` set to the address `library` exports under `name`, cast to the
// function's own type; null when the library or the name is missing.
template <typename Function>
void lookUp(HMODULE library, const char* name, Function*& function) {
  function =
      library ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(library, name)))
              : nullptr;
}

}  // namespace platform::win32
