// The window-message link: requests, the poll and the watching of linked windows.
//
// Event handlers may pump messages (a dialog, a sent message), and a control message that
// arrives meanwhile changes the lists. So a record is always taken out of its list before an
// event is raised for it, events receive a copy, and every walk re-reads the list's size.
#include "hostlink/WinMSG.h"
#include <algorithm>

namespace kw {

namespace {

// Clears Busy however Poll is left.
class TBusyGuard {
public:
    explicit TBusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
    ~TBusyGuard() { busy_ = false; }
    TBusyGuard(const TBusyGuard&) = delete;
    TBusyGuard& operator=(const TBusyGuard&) = delete;

private:
    bool& busy_;
};

} // namespace

TWinMSG::TWinMSG(IWindowEnum& windows, TWindowHandle ownHandle)
    : OwnHandle(ownHandle), windows_(windows), hungTest_(windows.HasHungTest()) {}

TWinMSG::~TWinMSG() = default;

void TWinMSG::DecodeCommand(int64_t lParam, uint16_t& high, uint16_t& low) {
    const auto value = static_cast<uint32_t>(static_cast<uint64_t>(lParam) & 0xFFFFFFFFu);
    high = static_cast<uint16_t>(value >> 16);
    low = static_cast<uint16_t>(value & 0xFFFFu);
}

bool TWinMSG::DecodeCopyData(uint64_t field1, uint64_t field2, const void* field3, TCopyData& out) {
    if (field2 >= 0x80000000u)
        return false;
    out.Marker = static_cast<uint16_t>((field1 >> 16) & 0xFFFFu);
    out.Kind = static_cast<uint16_t>(field1 & 0xFFFFu);
    out.Length = static_cast<int32_t>(field2);
    out.Payload = field3;
    return true;
}

bool TWinMSG::HandleCommand(TWindowHandle wParam, int64_t lParam, uint16_t& high, uint16_t& low) {
    DecodeCommand(lParam, high, low);
    if (high != CommandSignature)
        return false;
    if (low == CommandConnect)
        AddPending(wParam);
    else if (low != CommandQuery)
        RemoveWindow(wParam);
    return true;
}

size_t TWinMSG::LinkedPosition(TWindowHandle handle) const {
    const auto it = std::lower_bound(linked_.begin(), linked_.end(), handle,
                                     [](const auto& record, TWindowHandle h) { return record->Handle < h; });
    return static_cast<size_t>(it - linked_.begin());
}

int32_t TWinMSG::FindLinked(TWindowHandle handle) const {
    const size_t at = LinkedPosition(handle);
    if (at < linked_.size() && linked_[at]->Handle == handle)
        return linked_[at]->Data;
    return -1;
}

void TWinMSG::InsertLinked(std::unique_ptr<TLinkWindow> record) {
    const size_t at = LinkedPosition(record->Handle);
    linked_.insert(linked_.begin() + static_cast<std::ptrdiff_t>(at), std::move(record));
}

void TWinMSG::Raise(const TLinkEvent& event, const TLinkWindow& window) {
    if (!event)
        return;
    const TLinkWindow copy = window;  // the handler may outlive the record's place in a list
    event(*this, copy);
}

void TWinMSG::AddPending(TWindowHandle handle) {
    if (FindLinked(handle) >= 0)
        return;
    auto record = std::make_unique<TLinkWindow>();
    record->Handle = handle;
    pending_.push_back(std::move(record));
    if (OnPollWork)
        OnPollWork();
}

void TWinMSG::RemoveWindow(TWindowHandle handle) {
    for (;;) {
        const size_t at = LinkedPosition(handle);
        if (at >= linked_.size() || linked_[at]->Handle != handle)
            return;
        std::unique_ptr<TLinkWindow> record = std::move(linked_[at]);
        linked_.erase(linked_.begin() + static_cast<std::ptrdiff_t>(at));
        Raise(OnDisconnect, *record);
    }
}

TWinMSG::TSnapshot TWinMSG::TakeSnapshot() {
    TSnapshot snapshot = windows_.TopLevelWindows();
    for (auto& window : snapshot)
        if (window.ClassName.size() > MaxLinkClassName)
            window.ClassName.resize(MaxLinkClassName);
    std::sort(snapshot.begin(), snapshot.end(),
              [](const TTopWindow& a, const TTopWindow& b) { return a.Handle < b.Handle; });
    return snapshot;
}

const TTopWindow* TWinMSG::FindInSnapshot(const TSnapshot& snapshot, TWindowHandle handle) {
    const auto it = std::lower_bound(snapshot.begin(), snapshot.end(), handle,
                                     [](const TTopWindow& w, TWindowHandle h) { return w.Handle < h; });
    return (it != snapshot.end() && it->Handle == handle) ? &*it : nullptr;
}

void TWinMSG::TakeUpPending(const TSnapshot& snapshot) {
    while (!pending_.empty()) {
        std::unique_ptr<TLinkWindow> record = std::move(pending_.front());
        pending_.erase(pending_.begin());
        if (FindLinked(record->Handle) >= 0)
            continue;  // asked twice: already linked by the first request
        const TTopWindow* window = FindInSnapshot(snapshot, record->Handle);
        if (!window) {
            // gone, or not a top-level window: the host has to ask again
            Raise(OnDisconnect, *record);
            continue;
        }
        record->ClassName = window->ClassName;
        record->Tag = LinkTag;
        const TLinkWindow copy = *record;
        InsertLinked(std::move(record));
        Raise(OnConnect, copy);
    }
}

void TWinMSG::WatchLinked(const TSnapshot& snapshot) {
    size_t i = 0;
    while (i < linked_.size()) {
        const TTopWindow* window = FindInSnapshot(snapshot, linked_[i]->Handle);
        if (window && window->ClassName == linked_[i]->ClassName) {
            ++i;
            continue;
        }
        std::unique_ptr<TLinkWindow> record = std::move(linked_[i]);
        linked_.erase(linked_.begin() + static_cast<std::ptrdiff_t>(i));
        Raise(OnDisconnect, *record);
    }
}

void TWinMSG::Discover(const TSnapshot& snapshot) {
    for (const TTopWindow& window : snapshot) {
        if (window.Handle == OwnHandle || FindLinked(window.Handle) >= 0)
            continue;
        const auto cls = std::find_if(Classes.begin(), Classes.end(),
                                      [&](const TLinkClass& c) { return c.ClassName == window.ClassName; });
        if (cls == Classes.end())
            continue;
        const TLinkClass wanted = *cls;  // the query pumps messages; Classes may change meanwhile
        const std::optional<int32_t> answer = windows_.SendQuery(window.Handle, OwnHandle);
        if (!answer || *answer != wanted.Expected || FindLinked(window.Handle) >= 0)
            continue;
        auto record = std::make_unique<TLinkWindow>();
        record->Handle = window.Handle;
        record->ClassName = window.ClassName;
        record->Tag = LinkTag;
        record->Answer = wanted.Expected;
        record->Data = wanted.Data;
        const TLinkWindow copy = *record;
        InsertLinked(std::move(record));
        Raise(OnConnect, copy);
    }
}

void TWinMSG::TestHung() {
    for (size_t i = 0; i < linked_.size(); ++i) {
        TLinkWindow& record = *linked_[i];
        const std::optional<bool> hung = windows_.IsHung(record.Handle);
        if (!hung || *hung == record.Hung)
            continue;
        record.Hung = *hung;
        Raise(*hung ? OnHung : OnResponding, record);
    }
}

void TWinMSG::Poll() {
    if (Busy)
        return;
    TBusyGuard guard(Busy);
    // Nothing to take up, watch or discover: spare the enumeration of the desktop.
    if (!HasPollWork())
        return;
    {
        const TSnapshot snapshot = TakeSnapshot();
        TakeUpPending(snapshot);
        WatchLinked(snapshot);
        if (!Classes.empty())
            Discover(snapshot);
    }
    if (hungTest_)
        TestHung();
}

} // namespace kw
