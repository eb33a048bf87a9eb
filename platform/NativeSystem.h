// The platform layer of the system the build is for, as a class to derive
// from: a test double overrides what it fakes and takes the rest from it.
#pragma once

#ifdef _WIN32
#include "platform/win32/Win32System.h"
namespace platform {
using NativeSystem = win32::Win32System;
}
#else
#include "platform/posix/PosixSystem.h"
namespace platform {
using NativeSystem = posix::PosixSystem;
}
#endif
