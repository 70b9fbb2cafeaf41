#pragma once
// The handful of Windows integer types the program's interfaces are written in.
#include <cstdint>

using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using BOOL = int;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
