// Start with Windows through the Run keys, and the settings dialog's outcome.
#include "ui/ChangePid.h"
#include "ui/EditWork.h"
#include "config/EditWorkText.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace kw {

namespace {

using registry::TRootKey;

bool StartsProgram(const registry::TRegValue& value, const std::string& pathUpper) {
    // Values that are not text cannot name the program; they are skipped, not an error.
    return value.IsText && AnsiUpperCase(value.Data) == pathUpper;
}

bool AnyStartsProgram(TRootKey root, bool create, const std::string& pathUpper) {
    std::vector<registry::TRegValue> values;
    if (!registry::ReadValues(root, RunKeyPath, create, values))
        return false;
    for (const auto& v : values)
        if (StartsProgram(v, pathUpper))
            return true;
    return false;
}

} // namespace

bool IsAutoStartRegistered(const std::string& programPath) {
    const std::string p = AnsiUpperCase(programPath);
    const bool machine = AnyStartsProgram(TRootKey::LocalMachine, false, p);
    const bool user = AnyStartsProgram(TRootKey::CurrentUser, true, p);
    return machine || user;
}

void SetAutoStart(bool enable, const std::string& programPath) {
    const std::string p = AnsiUpperCase(programPath);
    std::vector<registry::TRegValue> values;
    if (!registry::ReadValues(TRootKey::CurrentUser, RunKeyPath, true, values))
        return;
    for (const auto& v : values) {
        if (!StartsProgram(v, p))
            continue;
        if (enable)
            return;  // already registered
        (void)registry::DeleteValue(TRootKey::CurrentUser, RunKeyPath, v.Name);
    }
    if (enable)
        (void)registry::WriteString(TRootKey::CurrentUser, RunKeyPath, AutoStartValueName(programPath), programPath);
}

std::string AutoStartValueName(const std::string& programPath) {
    const std::string name = fs::ExtractFileName(programPath);
    const std::string ext = fs::ExtractFileExt(name);
    return AnsiUpperCase(name.substr(0, name.size() - ext.size()));
}

bool ParseLivePort(const std::string& text, uint16_t& port) {
    const std::string digits = TrimText(text);
    if (digits.empty() || digits.size() > 5)
        return false;
    long value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

int ProgramSettingsResult(int modalResult, int dialogPid, int pid) {
    if (modalResult <= 0)
        return pid;
    return ClampToRange(dialogPid, MinPid, MaxPid);
}

} // namespace kw
