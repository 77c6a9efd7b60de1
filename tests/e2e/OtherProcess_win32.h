// Driving the real KWPAGE.exe from a test process: a server that never answers, and clicks
// on the windows of another process. SendInput and the X pointer do not reach the windows of
// another Wine process under Xvfb, so a click is posted as the mouse delivers it: button down,
// button up, in the control's own message queue.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include "platform/Tcp.h"
#include <atomic>
#include <thread>
#include <vector>

namespace kw::e2e {

// Takes every connection on 127.0.0.1 and never says a word; the connections stay open
// until the server goes.
class TSilentServer {
public:
    TSilentServer() {
        net::TIpv4Endpoint local{{127, 0, 0, 1}, 0};
        ok_ = listener_.Listen(local, 8).ok() && listener_.LocalEndpoint(local).ok();
        port_ = local.Port;
        thread_ = std::thread([this] {
            while (!stop_) {
                net::TTcpConnection c;
                if (listener_.Accept(c, 100).ok()) {
                    held_.push_back(std::move(c));
                    ++accepted_;
                }
            }
        });
    }
    ~TSilentServer() {
        stop_ = true;
        thread_.join();
    }
    bool Ok() const { return ok_; }
    uint16_t Port() const { return port_; }
    int Accepted() const { return accepted_; }

private:
    net::TTcpListener listener_;
    std::vector<net::TTcpConnection> held_;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread thread_;
    uint16_t port_ = 0;
    bool ok_ = false;
};

// A left click at the centre of `w`.
inline void ClickWindow(HWND w) {
    RECT r{};
    GetClientRect(w, &r);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(w, WM_LBUTTONUP, 0, at);
}

// A left click on a list view item of another process.
inline void ClickItem(HWND grid, const RECT& item) {
    POINT p{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ScreenToClient(grid, &p);
    PostMessageW(grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    PostMessageW(grid, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

// A control of `parent` by its id, however deep it sits (buttons sit on their bars).
inline HWND Child(HWND parent, int id) {
    struct TFind {
        int id;
        HWND found;
    } find{id, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM lp) -> BOOL {
            auto& f = *reinterpret_cast<TFind*>(lp);
            if (GetDlgCtrlID(w) != f.id)
                return TRUE;
            f.found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

// The screen rectangle of a list view item of another process.
inline RECT RemoteItemRect(HANDLE process, HWND grid, int item) {
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    void* remote = VirtualAllocEx(process, nullptr, sizeof r, MEM_COMMIT, PAGE_READWRITE);
    if (!remote)
        return r;
    WriteProcessMemory(process, remote, &r, sizeof r, nullptr);
    DWORD_PTR ok = 0;
    SendMessageTimeoutW(grid, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(remote),
                        SMTO_ABORTIFHUNG, 3000, &ok);
    ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    MapWindowPoints(grid, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

} // namespace kw::e2e
