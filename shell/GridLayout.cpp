// Layout arithmetic of the main window.
#include "shell/GridLayout.h"
#include <cstddef>

namespace kw {

TToolBarLayout PanTResize(int clientWidth, TToolBarLayout b) {
    b.Pid.Left = clientWidth - b.Pid.Width - 1;
    const int share = b.Pid.Left / 4;
    b.SendNow.Width = share;
    b.SendNow.Left = b.Pid.Left - share - 1;
    b.Delete.Width = share;
    b.Delete.Left = b.SendNow.Left - share - 1;
    b.Add.Width = share;
    b.Edit.Left = b.Add.Left + b.Add.Width + 1;
    b.Edit.Width = b.Delete.Left - b.Edit.Left - 1;
    return b;
}

} // namespace kw
