// Layout arithmetic of the main window.
#include "ui/GridLayout.h"
#include <cstddef>

namespace kw {

namespace {

// The width of one of the four shared buttons out of `room` pixels.
int ShareOf(const TToolButton& button, int room, int wanted) {
    if (wanted <= 0)
        return room / 4;
    if (wanted <= room)
        return button.Want + (room - wanted) / 4;
    return static_cast<int>(static_cast<long long>(button.Want) * room / wanted);
}

} // namespace

TToolBarLayout PanTResize(int clientWidth, TToolBarLayout b) {
    b.Pid.Left = clientWidth - b.Pid.Width - 1;
    const bool measured = b.Add.Want > 0 && b.Edit.Want > 0 && b.Delete.Want > 0 && b.SendNow.Want > 0;
    int wanted = measured ? b.Add.Want + b.Edit.Want + b.Delete.Want + b.SendNow.Want : 0;
    int room = measured ? b.Pid.Left - 4 : b.Pid.Left;  // measured: less the four gaps
    b.Compact = measured && b.GlyphWant > 0 && wanted > room;
    if (b.Compact) {
        b.Add.Want = b.Edit.Want = b.Delete.Want = b.SendNow.Want = b.GlyphWant;
        wanted = 4 * b.GlyphWant;
    }
    b.SendNow.Width = ShareOf(b.SendNow, room, wanted);
    b.SendNow.Left = b.Pid.Left - b.SendNow.Width - 1;
    b.Delete.Width = ShareOf(b.Delete, room, wanted);
    b.Delete.Left = b.SendNow.Left - b.Delete.Width - 1;
    b.Add.Width = ShareOf(b.Add, room, wanted);
    b.Edit.Left = b.Add.Left + b.Add.Width + 1;
    b.Edit.Width = b.Delete.Left - b.Edit.Left - 1;
    return b;
}

} // namespace kw
