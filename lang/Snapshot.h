// A published immutable value: writers build a new one aside and swap it in whole; readers take
// a shared reference and keep a consistent value for as long as they hold it. The lock guards
// only the exchange of the pointer, never the building or the reading of a value.
// (std::atomic<std::shared_ptr> would do the same; its current library form is invisible to
// ThreadSanitizer, which the threaded tests rely on.)
#pragma once
#include <memory>
#include <mutex>

namespace kw::lang {

template <class T>
class TSnapshot {
public:
    explicit TSnapshot(std::shared_ptr<const T> value) : value_(std::move(value)) {}
    TSnapshot(const TSnapshot&) = delete;
    TSnapshot& operator=(const TSnapshot&) = delete;

    std::shared_ptr<const T> Load() const {
        std::lock_guard<std::mutex> lock(lock_);
        return value_;
    }
    void Store(std::shared_ptr<const T> value) {
        {
            std::lock_guard<std::mutex> lock(lock_);
            value_.swap(value);
        }
        // The old value is released here, outside the lock.
    }

private:
    mutable std::mutex lock_;
    std::shared_ptr<const T> value_;
};

} // namespace kw::lang
