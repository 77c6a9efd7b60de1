// The three rows of the link status.
#include "hostlink/LinkStatus.h"
#include <cmath>

namespace kw {

std::string TLinkStatus::MainText(const std::string& key) const {
    return mainText_ ? mainText_(key) : std::string();
}

void TLinkStatus::SetLinkStatus(TDateTime value) {
    const double whole = std::trunc(value);
    if (whole == 0)
        Set(MainText("Wait"), TStatusTone::Failure, LinkWaiting);
    else if (whole == 1)
        Set(MainText("Connected"), TStatusTone::Connected, LinkConnected);
    else
        Set(FormatStatusStamp(value), TStatusTone::Normal, LinkDataReceived);
}

bool TLinkStatus::DataDecoded(TDateTime value) {
    const std::string stamp = FormatStatusStamp(value);
    std::lock_guard<std::mutex> hold(change_);
    if (LinkState.load() == LinkWaiting)
        return false;
    SetShowCell(SourceStatus, stamp, TStatusTone::Normal, false, false);
    LinkState.store(LinkDataReceived);
    return true;
}

void TLinkStatus::Set(const std::string& text, TStatusTone tone, uint8_t state) {
    std::lock_guard<std::mutex> hold(change_);
    SetShowCell(SourceStatus, text, tone, false, false);
    LinkState.store(state);
}

} // namespace kw
