// Text at the API boundary: the program's texts are ANSI (Windows-1251 on the stations'
// machines) and become wide only at the call.
#pragma once
#include <string>
#include <windows.h>

namespace kw::win {

std::wstring Wide(const std::string& ansi, UINT codePage = CP_ACP);
std::string Ansi(const std::wstring& wide);
// Built-in captions are written in UTF-8 in the sources; the program's text is ANSI.
std::string AnsiFromUtf8(const char* utf8);

std::string GetText(HWND window);
void SetText(HWND window, const std::string& ansi);

// Puts the text on the clipboard as Unicode text (the system then offers it in every form); false
// when the clipboard could not be had (another program holds it).
bool CopyToClipboard(HWND owner, const std::string& ansiText);

} // namespace kw::win
