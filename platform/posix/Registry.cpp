// In-memory registry for the native build: keys and value names match without regard to
// ASCII case as on Windows; values keep their order of creation.
#include "platform/Registry.h"
#include <algorithm>
#include <map>
#include <mutex>

namespace kw::registry {

namespace {


std::string KeyId(TRootKey root, const std::string& path) {
    std::string id = root == TRootKey::CurrentUser ? "HKCU" : "HKLM";
    size_t start = 0;
    while (start < path.size() && path[start] == '\\')
        ++start;
    id += '\\';
    for (size_t i = start; i < path.size(); ++i) {
        const char c = path[i];
        id += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return id;
}

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
        return up(x) == up(y);
    });
}

std::mutex g_lock;
std::map<std::string, std::vector<TRegValue>> g_keys;

bool Store(TRootKey root, const std::string& path, TRegValue value) {
    std::lock_guard<std::mutex> lock(g_lock);
    auto& values = g_keys[KeyId(root, path)];
    for (auto& v : values) {
        if (SameName(v.Name, value.Name)) {
            v = std::move(value);
            return true;
        }
    }
    values.push_back(std::move(value));
    return true;
}

} // namespace

bool ReadValues(TRootKey root, const std::string& path, bool create, std::vector<TRegValue>& out) {
    std::lock_guard<std::mutex> lock(g_lock);
    const std::string id = KeyId(root, path);
    auto it = g_keys.find(id);
    if (it == g_keys.end()) {
        if (!create)
            return false;
        it = g_keys.emplace(id, std::vector<TRegValue>{}).first;
    }
    out = it->second;
    return true;
}

bool WriteString(TRootKey root, const std::string& path, const std::string& name, const std::string& data) {
    return Store(root, path, TRegValue{name, true, data});
}

bool WriteNumber(TRootKey root, const std::string& path, const std::string& name, uint32_t) {
    return Store(root, path, TRegValue{name, false, {}});
}

bool DeleteValue(TRootKey root, const std::string& path, const std::string& name) {
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = g_keys.find(KeyId(root, path));
    if (it == g_keys.end())
        return false;
    auto& values = it->second;
    const auto v = std::find_if(values.begin(), values.end(), [&](const TRegValue& x) { return SameName(x.Name, name); });
    if (v == values.end())
        return false;
    values.erase(v);
    return true;
}

bool ClearKey(TRootKey root, const std::string& path) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_keys[KeyId(root, path)].clear();
    return true;
}

} // namespace kw::registry
