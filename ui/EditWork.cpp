// The work editor's decisions: fill, check, new section, apply.
#include "ui/EditWork.h"
#include "ui/EditWorkText.h"
#include "config/TargetChecks.h"
#include "platform/FileSystem.h"
#include "platform/Tls.h"
#include <cstdio>

namespace kw {

TEditWorkFields FillData(const TWorkList& works, int index) {
    TEditWorkFields f;
    const TWorkPtr work = index >= 0 ? works.At(index) : nullptr;
    if (!work)
        return f;
    const TWorkConfig c = work->Config();
    f.Name = c.Name;
    f.FileIn = c.FileIn;
    f.FileOut = c.FileOut;
    f.Secs = c.Update;
    f.CodePage = c.CodePage < CodePageCount ? c.CodePage : 0;
    f.Escaping = c.Escaping < EscapingModeCount ? c.Escaping : 0;
    f.Target = TargetChoiceOf(c);
    f.FTPServer = c.FTP.Server;
    f.FTPPort = c.FTP.Port;
    f.FTPPassive = c.FTP.Passive;
    f.FTPUTF8 = c.FTP.UTF8;
    f.FTPUser = c.FTP.Login;
    f.FTPPass = c.FTP.Password;
    f.FTPPath = c.FTP.Folder;
    f.FTPFileName = c.FTP.RemoteName;
    f.HTTPMethod = c.HTTP.Method < HttpMethodCount ? c.HTTP.Method : static_cast<int>(hmGET);
    f.HTTPURL = c.HTTP.URL;
    f.HTTPUser = c.HTTP.Login;
    f.HTTPPass = c.HTTP.Password;
    f.HTTPType = c.HTTP.ContentType;
    f.HTTPCert = c.HTTP.CertSHA256;
    f.TextHost = c.Text.Host;
    f.TextPort = c.Text.Port ? std::to_string(c.Text.Port) : std::string();
    f.FTPTLS = c.FTP.Tls;
    f.FTPTLSCert = c.FTP.TlsSha256;
    return f;
}

namespace {

TCheckResult Fail(const char* key) { return TCheckResult{false, key, false, {}}; }

TCheckResult FailWith(const char* key, const std::string& argument) { return TCheckResult{false, key, true, argument}; }

// Steps 9a to 9c for one other work.
TCheckResult CheckAgainst(const TWorkConfig& other, const std::string& name, const std::string& outUpper) {
    if (name == other.Name)
        return Fail("DblShape");
    if (outUpper == AnsiUpperCase(other.FileIn))
        return FailWith("OtherOut", other.Name);
    if (outUpper == AnsiUpperCase(other.FileOut))
        return FailWith("DblOut", other.Name);
    return {};
}

} // namespace

TCheckResult CheckSttings(const TEditWorkFields& f, const TWorkList& works, int editIndex,
                          const TFileExists& fileExists) {
    const std::string name = TrimText(f.Name);
    if (name.empty())
        return Fail("SetShape");
    if (TrimText(f.FileIn).empty())
        return Fail("SetFileIn");
    if (!fileExists(f.FileIn))
        return Fail("FileInNotEx");
    if (TrimText(f.FileOut).empty())
        return Fail("SetFileOut");
    if (f.FileIn == f.FileOut)
        return Fail("SetInOutErr");
    if (const std::string key = CheckTargetFields(f); !key.empty())
        return Fail(key.c_str());
    const std::string outUpper = AnsiUpperCase(TrimText(f.FileOut));
    const auto all = works.Snapshot();
    for (size_t i = 0; i < all.size(); ++i) {
        if (static_cast<int>(i) == editIndex)
            continue;
        if (TCheckResult r = CheckAgainst(all[i]->Config(), name, outUpper); !r.Ok)
            return r;
    }
    return {};
}

std::string CheckTargetFields(const TEditWorkFields& f) {
    switch (f.Target) {
    case tcFTP: return CheckBrowseFields(f);
    case tcHTTP: {
        TUrlParts parts;
        std::string fingerprint;
        if (!SplitUrl(TrimText(f.HTTPURL), parts) || !TagFreeOrigin(TrimText(f.HTTPURL)))
            return "NoHTTPURL";
        if (!SafeHeaderValue(TrimText(f.HTTPType)))
            return "BadHTTPType";
        if (!TrimText(f.HTTPCert).empty() && !NormaliseFingerprint(TrimText(f.HTTPCert), fingerprint))
            return "BadCertSHA256";
        return {};
    }
    case tcTCP:
    case tcUDP: {
        uint16_t port = 0;
        if (TrimText(f.TextHost).empty())
            return "NoTextHost";
        if (!ParsePort(f.TextPort, port))
            return "BadTextPort";
        return {};
    }
    default: return {};
    }
}

std::string CheckBrowseFields(const TEditWorkFields& f) {
    if (TrimText(f.FTPServer).empty())
        return "SetFTPServ";
    if (TrimText(f.FTPUser).empty())
        return "SetFTPUser";
    if (TrimText(f.FTPPass).empty())
        return "SetFTPPass";
    if (f.FTPTLS && !TrimText(f.FTPTLSCert).empty() && net::NormalizeSha256Text(TrimText(f.FTPTLSCert)).empty())
        return "BadFTPCert";
    return {};
}

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

namespace {

void ApplyHttp(const TEditWorkFields& f, THTTPUse& h) {
    h.Method = static_cast<uint8_t>(ClampToRange(f.HTTPMethod, 0, HttpMethodCount - 1));
    h.URL = TrimText(f.HTTPURL);
    h.Login = TrimText(f.HTTPUser);
    h.Password = f.HTTPPass;
    h.ContentType = TrimText(f.HTTPType);
    h.CertSHA256 = TrimText(f.HTTPCert);
}

void ApplyText(const TEditWorkFields& f, TTextUse& t) {
    t.Host = TrimText(f.TextHost);
    uint16_t port = 0;
    t.Port = ParsePort(f.TextPort, port) ? port : 0;
}

} // namespace

TWorkConfig ApplySetting(const TEditWorkFields& f, TWorkConfig c) {
    c.Name = TrimText(f.Name);
    c.FileIn = f.FileIn;
    c.FileOut = f.FileOut;
    c.Update = static_cast<int16_t>(ClampToRange(f.Secs, MinUpdateSecs, MaxUpdateSecs));
    c.CodePage = static_cast<uint8_t>(ClampToRange(f.CodePage, 0, CodePageCount - 1));
    c.Escaping = static_cast<uint8_t>(ClampToRange(f.Escaping, 0, EscapingModeCount - 1));
    const auto target = static_cast<TTargetChoice>(ClampToRange(f.Target, 0, TargetChoiceCount - 1));
    // A work keeps the values of its chosen target only: the others' keys leave the file.
    c.FTP = TFTPUse{};
    c.FTP.Folder.clear();
    c.HTTP = THTTPUse{};
    c.Text = TTextUse{};
    SetTargetChoice(c, target);
    if (target == tcHTTP)
        ApplyHttp(f, c.HTTP);
    if (target == tcTCP || target == tcUDP)
        ApplyText(f, c.Text);
    if (target != tcFTP)
        return c;
    c.FTP.Server = f.FTPServer;
    c.FTP.Port = static_cast<uint16_t>(ClampToRange(f.FTPPort, MinFtpPort, MaxFtpPort));
    c.FTP.Passive = f.FTPPassive;
    c.FTP.UTF8 = f.FTPUTF8;
    c.FTP.Login = TrimText(f.FTPUser);
    c.FTP.Password = f.FTPPass;
    c.FTP.Folder = f.FTPPath.empty() ? "/" : f.FTPPath;
    c.FTP.RemoteName = f.FTPFileName.empty() ? fs::ExtractFileName(f.FileOut) : f.FTPFileName;
    c.FTP.Tls = f.FTPTLS;
    c.FTP.TlsSha256 = f.FTPTLS ? net::NormalizeSha256Text(TrimText(f.FTPTLSCert)) : std::string();
    return c;
}

int ClampToRange(long long value, int low, int high) {
    if (value < low)
        return low;
    if (value > high)
        return high;
    return static_cast<int>(value);
}

} // namespace kw
