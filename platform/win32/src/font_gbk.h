// Code page 936 (GBK) for the font calls. Needs nothing but <windows.h>, so
// tests can check the conversion on its own.
#pragma once

#include <windows.h>

#include <string>

namespace win32font {

// A character code (a single byte, or lead x 256 + trail of code page 936)
// as a Unicode scalar; false when the code page does not map it.
bool GbkToUnicode(UINT code, char32_t& ch);
// A face name from a LOGFONTA (code page 936, at most LF_FACESIZE bytes, not
// always terminated) as UTF-8; bytes that do not convert are dropped.
std::string FaceNameToUtf8(const CHAR* name);

}  // namespace win32font
