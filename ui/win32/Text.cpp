// Conversions between the program's ANSI texts and the wide API.
#include "ui/win32/Text.h"
#include <cstring>

namespace kw::win {

std::wstring Wide(const std::string& ansi, UINT codePage) {
    if (ansi.empty())
        return {};
    const int n = MultiByteToWideChar(codePage, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, ansi.data(), static_cast<int>(ansi.size()), out.data(), n);
    return out;
}

std::string Ansi(const std::wstring& wide) {
    if (wide.empty())
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string AnsiFromUtf8(const char* utf8) { return Ansi(Wide(utf8, CP_UTF8)); }

std::string GetText(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), n + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return Ansi(text);
}

void SetText(HWND window, const std::string& ansi) { SetWindowTextW(window, Wide(ansi).c_str()); }

bool CopyToClipboard(HWND owner, const std::string& ansiText) {
    const std::wstring w = Wide(ansiText);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (w.size() + 1) * sizeof(wchar_t));
    if (!mem)
        return false;
    std::memcpy(GlobalLock(mem), w.c_str(), (w.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(mem);
    if (!OpenClipboard(owner)) {
        GlobalFree(mem);
        return false;
    }
    EmptyClipboard();
    const bool ok = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
    CloseClipboard();
    if (!ok)
        GlobalFree(mem);  // the clipboard took it only on success
    return ok;
}

} // namespace kw::win
