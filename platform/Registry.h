// The registry facility the program needs: list the values of a key, write a string value,
// delete a value. Key paths are written as the program names them ("\SOFTWARE\...", the
// leading separator optional). On Windows this is the real registry; the POSIX build keeps an
// in-memory registry so that the logic over it is testable natively.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kw::registry {

enum class TRootKey { CurrentUser, LocalMachine };

struct TRegValue {
    std::string Name;
    bool IsText = false;  // REG_SZ or REG_EXPAND_SZ; other kinds carry no Data
    std::string Data;
};

// The values of a key, in the registry's enumeration order. With `create` a missing key is
// created first. False when the key cannot be opened (or created).
[[nodiscard]] bool ReadValues(TRootKey root, const std::string& path, bool create, std::vector<TRegValue>& out);

// Writes a string value, creating the key when missing. False on failure.
[[nodiscard]] bool WriteString(TRootKey root, const std::string& path, const std::string& name,
                               const std::string& data);

// Writes a value of a non-text kind (a DWORD); used by tests to plant foreign values.
[[nodiscard]] bool WriteNumber(TRootKey root, const std::string& path, const std::string& name, uint32_t data);

// Deletes a value. False when the key or the value is missing or cannot be changed.
[[nodiscard]] bool DeleteValue(TRootKey root, const std::string& path, const std::string& name);

// Deletes every value of a key (tests start from a known state). False when it cannot.
[[nodiscard]] bool ClearKey(TRootKey root, const std::string& path);

} // namespace kw::registry
