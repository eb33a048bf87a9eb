// The name a screen reader says for a control whose own text does not say it:
// a field (its label is a separate window) or a button that only reads "参照".
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// From now on the control's accessible object (MSAA, OBJID_CLIENT) answers
// `name` as its name; everything else stays the system's.
void setAccessibleName(HWND control, const std::wstring& name);

} // namespace win32
