// What the live server serves: the latest page of each live work and the now-playing document,
// each a shared immutable buffer with a version. A render hands its page over by swapping one
// pointer under a small lock (never waiting on a client); the server's thread takes the names
// of what changed and sends the clients their events. Copies of a page for many clients are
// never made: every answer holds the same buffer.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kw::live {

using TBytes = std::shared_ptr<const std::string>;

struct TLiveWork {
    std::string Id;           // the work's section name
    std::string ContentType;  // of its output (PageContentType)
};

struct TServedItem {
    TBytes Bytes;  // null until first written
    std::string ContentType;
    uint64_t Version = 0;  // 0 until first written; then one more for each write
};

class TLiveContent {
public:
    // The works served from now on; a work that stays keeps its page and version.
    void SetWorks(const std::vector<TLiveWork>& works);
    // A new page of work `id`; false (and nothing kept) when the work is not served.
    bool PublishPage(std::string_view id, TBytes bytes);
    void PublishState(TBytes json);

    // A served work's page (Bytes null until written); nothing for a work not served.
    std::optional<TServedItem> Page(std::string_view id) const;
    TServedItem State() const;

    // Each change since the last take, in order: every version gets its event, also when
    // several come between two turns of the server's thread (at most MaxChanges are kept; a
    // thread that far behind sends the latest ones).
    struct TChange {
        std::string Id;  // the work's id key; empty for the document
        uint64_t Version = 0;
        TBytes Bytes;
    };
    std::vector<TChange> TakeChanges();
    static constexpr size_t MaxChanges = 1024;

    // Ids compare without regard to ASCII case, as the settings file's sections do.
    static std::string IdKey(std::string_view id);

private:
    void Note(TChange change);  // under the lock

    mutable std::mutex lock_;
    std::unordered_map<std::string, TServedItem> pages_;
    TServedItem state_{nullptr, "application/json; charset=utf-8", 0};
    std::vector<TChange> changes_;
};

} // namespace kw::live
