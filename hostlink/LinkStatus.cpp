// The three rows of the link status.
#include "hostlink/LinkStatus.h"
#include <cmath>

namespace kw {

std::string TLinkStatus::MainText(const std::string& key) const {
    return mainText_ ? mainText_(key) : std::string();
}

void TLinkStatus::SetLinkStatus(TDateTime value) {
    const double whole = std::trunc(value);
    if (whole == 0) {
        SetShowCell(SourceStatus, MainText("Wait"), clRed, false, false);
        LinkState.store(LinkWaiting);
    } else if (whole == 1) {
        SetShowCell(SourceStatus, MainText("Connected"), clGreen, false, false);
        LinkState.store(LinkConnected);
    } else {
        SetShowCell(SourceStatus, FormatStatusStamp(value), NormalColor(), false, false);
        LinkState.store(LinkDataReceived);
    }
}

} // namespace kw
