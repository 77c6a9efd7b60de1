// The real registry through the ANSI registry functions, so that names and data are the
// program's single-byte text.
#include "platform/Registry.h"
#include <windows.h>

namespace kw::registry {

namespace {

HKEY RootHandle(TRootKey root) { return root == TRootKey::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

std::string SubKey(const std::string& path) {
    size_t start = 0;
    while (start < path.size() && path[start] == '\\')
        ++start;
    return path.substr(start);
}

// Owns an open key.
class TKey {
public:
    TKey() = default;
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
    ~TKey() {
        if (key_)
            RegCloseKey(key_);
    }
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

bool Open(TRootKey root, const std::string& path, bool create, REGSAM access, TKey& key) {
    const std::string sub = SubKey(path);
    if (create)
        return RegCreateKeyExA(RootHandle(root), sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                               key.Out(), nullptr) == ERROR_SUCCESS;
    return RegOpenKeyExA(RootHandle(root), sub.c_str(), 0, access, key.Out()) == ERROR_SUCCESS;
}

bool ReadOne(HKEY key, DWORD index, DWORD nameCap, DWORD dataCap, TRegValue& value, LONG& rc) {
    std::string name(nameCap + 1, '\0');
    std::string data(dataCap + 2, '\0');
    DWORD nameLen = static_cast<DWORD>(name.size());
    DWORD dataLen = static_cast<DWORD>(data.size());
    DWORD type = 0;
    rc = RegEnumValueA(key, index, name.data(), &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                       &dataLen);
    if (rc != ERROR_SUCCESS)
        return false;
    value.Name.assign(name.data(), nameLen);
    value.IsText = type == REG_SZ || type == REG_EXPAND_SZ;
    value.Data.clear();
    if (value.IsText) {
        data.resize(dataLen);
        while (!data.empty() && data.back() == '\0')  // the stored terminator, if any
            data.pop_back();
        value.Data = data;
    }
    return true;
}

} // namespace

bool ReadValues(TRootKey root, const std::string& path, bool create, std::vector<TRegValue>& out) {
    out.clear();
    TKey key;
    if (!Open(root, path, create, KEY_READ, key))
        return false;
    DWORD count = 0, nameCap = 0, dataCap = 0;
    if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &nameCap,
                         &dataCap, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    for (DWORD i = 0; i < count; ++i) {
        TRegValue value;
        LONG rc = ERROR_SUCCESS;
        if (!ReadOne(key.Get(), i, nameCap, dataCap, value, rc)) {
            if (rc == ERROR_NO_MORE_ITEMS)
                break;  // a value vanished while we listed
            continue;
        }
        out.push_back(std::move(value));
    }
    return true;
}

bool WriteString(TRootKey root, const std::string& path, const std::string& name, const std::string& data) {
    TKey key;
    if (!Open(root, path, true, KEY_SET_VALUE, key))
        return false;
    return RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

bool WriteNumber(TRootKey root, const std::string& path, const std::string& name, uint32_t data) {
    TKey key;
    if (!Open(root, path, true, KEY_SET_VALUE, key))
        return false;
    const DWORD value = data;
    return RegSetValueExA(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

bool DeleteValue(TRootKey root, const std::string& path, const std::string& name) {
    TKey key;
    if (!Open(root, path, false, KEY_SET_VALUE, key))
        return false;
    return RegDeleteValueA(key.Get(), name.c_str()) == ERROR_SUCCESS;
}

bool ClearKey(TRootKey root, const std::string& path) {
    std::vector<TRegValue> values;
    if (!ReadValues(root, path, true, values))
        return false;
    bool ok = true;
    for (const auto& v : values)
        ok = DeleteValue(root, path, v.Name) && ok;
    return ok;
}

} // namespace kw::registry
