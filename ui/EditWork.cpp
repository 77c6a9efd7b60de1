// The work editor's decisions: fill, check, new section, apply.
#include "ui/EditWork.h"
#include "config/WorkFields.h"
#include "render/ValueEscaping.h"
#include <cstdio>

namespace kw {

TEditWorkFields FillData(const TWorkList& works, int index) {
    TEditWorkFields f;
    const TWorkPtr work = index >= 0 ? works.At(index) : nullptr;
    if (!work)
        return f;
    const TWorkConfig c = work->Config();
    for (const TWorkField& field : WorkFields())
        FillField(field, c, f);
    return f;
}

namespace {

TCheckResult Fail(const std::string& key) { return TCheckResult{false, key, false, {}}; }

// The first failing check of the fields `within` picks: the checks of each field alone first,
// then those that read another field of the form too, each in the table's order.
template <typename Within>
std::string FirstFailure(const TEditWorkFields& f, const TCheckInput& in, Within within) {
    for (const TCheckScope scope : {TCheckScope::Field, TCheckScope::Fields})
        for (const TWorkField& field : WorkFields())
            if (within(field))
                for (const TFieldCheck& check : field.Checks)
                    if (check.Fails && check.Scope == scope && check.Fails(f, in))
                        return check.Message;
    return {};
}

// The checks against one other work, in the table's order.
TCheckResult CheckAgainst(const TEditWorkFields& f, const TWorkConfig& other) {
    const TCheckInput in{nullptr, &other};
    for (const TWorkField& field : WorkFields())
        for (const TFieldCheck& check : field.Checks)
            if (check.Fails && check.Scope == TCheckScope::OtherWork && check.Fails(f, in))
                return TCheckResult{false, check.Message, check.NamesOther, check.NamesOther ? other.Name : ""};
    return {};
}

// The fields of the target `target` alone (not those every work has).
auto OfTarget(int target) {
    return [target](const TWorkField& field) {
        return field.While != TWhile::Always && BelongsToTarget(field, target);
    };
}

} // namespace

TCheckResult CheckSttings(const TEditWorkFields& f, const TWorkList& works, int editIndex,
                          const TFileExists& fileExists) {
    const TCheckInput in{&fileExists, nullptr};
    const auto ofEveryWork = [](const TWorkField& field) { return field.While == TWhile::Always; };
    if (const std::string key = FirstFailure(f, in, ofEveryWork); !key.empty())
        return Fail(key);
    if (const std::string key = CheckTargetFields(f); !key.empty())
        return Fail(key);
    const auto all = works.Snapshot();
    for (size_t i = 0; i < all.size(); ++i) {
        if (static_cast<int>(i) == editIndex)
            continue;
        if (TCheckResult r = CheckAgainst(f, all[i]->Config()); !r.Ok)
            return r;
    }
    return {};
}

std::string CheckTargetFields(const TEditWorkFields& f) {
    return FirstFailure(f, TCheckInput{}, OfTarget(f.Target));
}

std::string CheckBrowseFields(const TEditWorkFields& f) { return FirstFailure(f, TCheckInput{}, OfTarget(tcFTP)); }

std::string NewSectionName(const TWorkList& works, const TLocalStamp& t) {
    char base[32];
    std::snprintf(base, sizeof base, "File%02d%02d%02d%02d%02d%02d", t.Year % 100, t.Month % 100, t.Day % 100,
                  t.Hour % 100, t.Minute % 100, t.Second % 100);
    const auto all = works.Snapshot();
    auto taken = [&](const std::string& candidate) {
        for (const auto& w : all)
            if (w->Section() == candidate)
                return true;
        return false;
    };
    std::string candidate = base;
    for (unsigned n = 1; taken(candidate); ++n)
        candidate = base + std::to_string(n);
    return candidate;
}

int GetNewSection(TWorkList& works, const TLocalStamp& now, TWorkConfig config) {
    config.Section = NewSectionName(works, now);
    auto work = std::make_shared<TWorkData>(std::move(config));
    const TWorkData* raw = work.get();
    if (!works.Append(std::move(work)))
        return -1;
    return works.IndexOf(raw);
}

TWorkConfig ApplySetting(const TEditWorkFields& f, TWorkConfig c) {
    const int target = ClampToRange(f.Target, 0, TargetChoiceCount - 1);
    // A work keeps the values of its chosen target only: the others' keys leave the file.
    c.FTP = TFTPUse{};
    c.FTP.Folder.clear();
    c.HTTP = THTTPUse{};
    c.Text = TTextUse{};
    for (const TWorkField& field : WorkFields())
        if (BelongsToTarget(field, target))
            ApplyField(field, f, c);
    return c;
}

TFTPUse FtpSettingsOf(const TEditWorkFields& fields) {
    TEditWorkFields ftp = fields;
    ftp.Target = tcFTP;
    return ApplySetting(ftp, TWorkConfig{}).FTP;
}

std::string LiveAddress(const TLiveSettings& live, const std::string& section, const std::string& computer) {
    if (!live.On || section.empty())
        return {};
    const bool lan = live.OtherComputers;
    // The section as one path segment, percent-encoded: a name written by hand may hold anything.
    std::string address = "http://" + (lan && !computer.empty() ? computer : std::string("127.0.0.1")) + ":" +
                          std::to_string(live.Port) + "/works/" + Escape(section, escURL);
    if (lan && !live.AccessKey.empty())
        address += "?key=" + live.AccessKey;
    return address;
}

} // namespace kw
