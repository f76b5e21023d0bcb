// Shared helpers for the native tests live in test_support.h.
#include "test_support.h"
