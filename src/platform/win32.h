// The Windows API as the Win32 files of the layer include it: lean, and without the min and
// max macros that would break std::min.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
