// A splitter: a thin bar between two panes; dragging it reports where its left edge should go
// (the owner decides and places the panes). The cursor shows the two-way arrow.
#pragma once
#include "ui/win32/Window.h"
#include <functional>

namespace kw::win {

class TSplitter : public TWindowBase<TSplitter> {
public:
    static const wchar_t* ClassName() { return L"TKwSplitter"; }
    bool Create(HWND parent);
    // Called with the wished left edge of the bar (in the parent's coordinates) while dragging.
    std::function<void(int)> OnMove;
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    int grab_ = 0;  // where in the bar the mouse took it
};

} // namespace kw::win
