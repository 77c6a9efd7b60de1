// Layout arithmetic of the main window.
#include "shell/GridLayout.h"
#include <cstddef>

namespace kw {

TToolBarLayout PanTResize(int clientWidth, TToolBarLayout b) {
    b.Pid.Left = clientWidth - b.Pid.Width - 1;
    b.Delete.Width = b.Pid.Left / 3;
    b.Delete.Left = b.Pid.Left - b.Delete.Width - 1;
    b.Add.Width = b.Delete.Width;
    b.Edit.Left = b.Add.Left + b.Add.Width + 1;
    b.Edit.Width = b.Delete.Left - b.Edit.Left - 1;
    return b;
}

} // namespace kw
