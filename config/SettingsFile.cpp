// Reading and writing the settings file.
#include "config/SettingsFile.h"
#include "config/IniValues.h"
#include "config/Password.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "platform/ProfileText.h"
#include <iterator>

namespace kw {

namespace {

constexpr const char* SettingsSection = "Settings";
constexpr size_t TextCapacity = 255;
constexpr int16_t MinUpdate = 15;
// The key stands in a section only when values are escaped, so a work without escaping keeps
// the section this program has always written, byte for byte.
constexpr const char* EscapingKey = "Escaping";

// The targets beyond FTP. Like the FTP keys, a target's keys stand in a section only while the
// work uses that target, so a file from before they existed is written back unchanged.
//   Target      HTTP, TCP or UDP (missing: the file only, or FTP when UseFTP=1)
//   HTTPMethod  GET, POST or PUT
//   HTTPURL     the address; may hold tags
//   HTTPLogin   user name (empty: no credentials)
//   HTTPPass    password, scrambled as FTPPass
//   HTTPType    content type (empty: from the output file's extension and the code page)
//   HTTPCert    SHA-256 fingerprint of the one trusted certificate (empty: the system's check)
//   TextHost    TCP or UDP host
//   TextPort    TCP or UDP port
constexpr const char* TargetKey = "Target";
const char* const TargetNames[TargetChoiceCount] = {"", "", "HTTP", "TCP", "UDP"};
const char* const HttpKeys[] = {"HTTPMethod", "HTTPURL", "HTTPLogin", "HTTPPass", "HTTPType", "HTTPCert"};
const char* const TextKeys[] = {"TextHost", "TextPort"};
// A URL holds tags and a query: longer than the other fields.
constexpr size_t UrlCapacity = 2048;

const char* const FtpKeys[] = {"FTPServer", "FTPPort", "FTPPassive", "FTPUTF8",
                               "FTPLogin",  "FTPPass", "FTPPath",    "FIPFile"};
// FTP over TLS, written only while set, so a file from before it existed is written back
// unchanged:
//   FTPTLS      1: explicit TLS ("AUTH TLS") on the control and data connections
//   FTPTLSCert  SHA-256 fingerprint of the one trusted certificate (empty: the system's check)
const char* const FtpTlsKeys[] = {"FTPTLS", "FTPTLSCert"};

std::string Cut(std::string text) {
    if (text.size() > TextCapacity)
        text.resize(TextCapacity);
    return text;
}

void Fail(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

std::string WriteFailure(const std::string& file) {
    return "The settings file cannot be written: " + file;
}

void ReadTargets(const std::string& file, const std::string& section, TWorkConfig& w);

TWorkConfig ReadWorkKeys(const std::string& file, const std::string& section) {
    const auto text = [&](const char* key, const std::string& def) {
        return Cut(profile::ReadString(file, section, key, def));
    };
    TWorkConfig w;
    w.Section = Cut(section);
    w.Name = text("Name", section);
    w.FileIn = text("FileIn", "");
    w.FileOut = text("FileOut", "");
    // Out-of-range numbers take the default instead of stopping the load: a value the field
    // cannot hold says nothing reliable about what the user wanted.
    w.Update = static_cast<int16_t>(ReadIniInteger(file, section, "Update", 60, INT16_MIN, INT16_MAX));
    if (w.Update < MinUpdate)
        w.Update = MinUpdate;
    w.CodePage = static_cast<uint8_t>(ReadIniInteger(file, section, "CodePage", 0, 0, 255));
    w.Escaping = static_cast<uint8_t>(ReadIniInteger(file, section, EscapingKey, 0, 0, 255));
    w.FTP.Use = ReadIniBool(file, section, "UseFTP", false);
    w.FTP.Server = profile::ReadString(file, section, "FTPServer", "");
    w.FTP.Port = static_cast<uint16_t>(ReadIniInteger(file, section, "FTPPort", 21, 0, 65535));
    w.FTP.Passive = ReadIniBool(file, section, "FTPPassive", false);
    w.FTP.UTF8 = ReadIniBool(file, section, "FTPUTF8", false);
    w.FTP.Login = text("FTPLogin", "");
    w.FTP.Password = Cut(UnscramblePassword(profile::ReadString(file, section, "FTPPass", "")));
    w.FTP.Folder = text("FTPPath", "/");
    w.FTP.RemoteName = text("FIPFile", "");
    w.FTP.Tls = ReadIniBool(file, section, "FTPTLS", false);
    w.FTP.TlsSha256 = text("FTPTLSCert", "");
    ReadTargets(file, section, w);
    return w;
}

// A name from a list, compared without regard to case; `def` when it is none of them.
uint8_t IndexOfName(const std::string& text, const char* const* names, uint8_t count, uint8_t def) {
    for (uint8_t i = 0; i < count; ++i)
        if (*names[i] && profile::SameName(text, names[i]))
            return i;
    return def;
}

void ReadTargets(const std::string& file, const std::string& section, TWorkConfig& w) {
    const auto text = [&](const char* key) { return Cut(profile::ReadString(file, section, key, "")); };
    w.Target = IndexOfName(profile::ReadString(file, section, TargetKey, ""), TargetNames, TargetChoiceCount,
                           tcFileOnly);
    w.HTTP.Method = IndexOfName(profile::ReadString(file, section, "HTTPMethod", ""), HttpMethodNames,
                                HttpMethodCount, hmGET);
    w.HTTP.URL = profile::ReadString(file, section, "HTTPURL", "");
    if (w.HTTP.URL.size() > UrlCapacity)
        w.HTTP.URL.resize(UrlCapacity);
    w.HTTP.Login = text("HTTPLogin");
    w.HTTP.Password = Cut(UnscramblePassword(profile::ReadString(file, section, "HTTPPass", "")));
    w.HTTP.ContentType = text("HTTPType");
    w.HTTP.CertSHA256 = text("HTTPCert");
    w.Text.Host = text("TextHost");
    w.Text.Port = static_cast<uint16_t>(ReadIniInteger(file, section, "TextPort", 0, 0, 65535));
}

bool DeleteKeys(const std::string& file, const std::string& section, const char* const* keys, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (!profile::DeleteKey(file, section, keys[i]))
            return false;
    return true;
}

bool WriteHttp(const std::string& file, const std::string& s, const THTTPUse& h) {
    const uint8_t method = h.Method < HttpMethodCount ? h.Method : uint8_t{hmGET};
    return profile::WriteString(file, s, "HTTPMethod", HttpMethodNames[method]) &&
           profile::WriteString(file, s, "HTTPURL", h.URL) && profile::WriteString(file, s, "HTTPLogin", h.Login) &&
           profile::WriteString(file, s, "HTTPPass", ScramblePassword(h.Password)) &&
           profile::WriteString(file, s, "HTTPType", h.ContentType) &&
           profile::WriteString(file, s, "HTTPCert", h.CertSHA256);
}

bool WriteTargets(const std::string& file, const TWorkConfig& w) {
    const std::string& s = w.Section;
    const bool http = w.Target == tcHTTP;
    const bool text = w.Target == tcTCP || w.Target == tcUDP;
    const bool ok = (http || text) ? profile::WriteString(file, s, TargetKey, TargetNames[w.Target])
                                   : profile::DeleteKey(file, s, TargetKey);
    if (!ok)
        return false;
    if (!(http ? WriteHttp(file, s, w.HTTP) : DeleteKeys(file, s, HttpKeys, std::size(HttpKeys))))
        return false;
    if (!text)
        return DeleteKeys(file, s, TextKeys, std::size(TextKeys));
    return profile::WriteString(file, s, "TextHost", w.Text.Host) && WriteIniInteger(file, s, "TextPort", w.Text.Port);
}

bool WriteEscaping(const std::string& file, const TWorkConfig& w) {
    return w.Escaping != 0 ? WriteIniInteger(file, w.Section, EscapingKey, w.Escaping)
                           : profile::DeleteKey(file, w.Section, EscapingKey);
}

bool WriteWorkKeys(const std::string& file, const TWorkConfig& w) {
    const std::string& s = w.Section;
    bool ok =
        profile::WriteString(file, s, "Name", w.Name) && profile::WriteString(file, s, "FileIn", w.FileIn) &&
        profile::WriteString(file, s, "FileOut", w.FileOut) && WriteIniInteger(file, s, "Update", w.Update) &&
        WriteIniInteger(file, s, "CodePage", w.CodePage) && WriteIniBool(file, s, "UseFTP", w.FTP.Use);
    if (!ok || !WriteEscaping(file, w) || !WriteTargets(file, w))
        return false;
    if (!w.FTP.Use) {
        for (const char* key : FtpKeys)
            if (!profile::DeleteKey(file, s, key))
                return false;
        for (const char* key : FtpTlsKeys)
            if (!profile::DeleteKey(file, s, key))
                return false;
        return true;
    }
    const bool tlsKeys = w.FTP.Tls ? WriteIniBool(file, s, "FTPTLS", true) : profile::DeleteKey(file, s, "FTPTLS");
    const bool certKey = w.FTP.Tls && !w.FTP.TlsSha256.empty()
                             ? profile::WriteString(file, s, "FTPTLSCert", w.FTP.TlsSha256)
                             : profile::DeleteKey(file, s, "FTPTLSCert");
    if (!tlsKeys || !certKey)
        return false;
    return profile::WriteString(file, s, "FTPServer", w.FTP.Server) &&
           WriteIniInteger(file, s, "FTPPort", w.FTP.Port) &&
           WriteIniBool(file, s, "FTPPassive", w.FTP.Passive) &&
           WriteIniBool(file, s, "FTPUTF8", w.FTP.UTF8) &&
           profile::WriteString(file, s, "FTPLogin", w.FTP.Login) &&
           profile::WriteString(file, s, "FTPPass", ScramblePassword(w.FTP.Password)) &&
           profile::WriteString(file, s, "FTPPath", w.FTP.Folder) &&
           profile::WriteString(file, s, "FIPFile", w.FTP.RemoteName);
}

} // namespace

std::string SettingsFilePath() {
    return fs::ChangeFileExt(fs::ProgramPath(), ".ini");
}

bool IsWorkSection(const std::string& section) {
    return section.compare(0, 4, "File") == 0;
}

TProgramSettings ReadProgramSettings(const std::string& file) {
    TProgramSettings program;
    program.PID = static_cast<int16_t>(ReadIniInteger(file, SettingsSection, "PID", 1, INT16_MIN, INT16_MAX));
    program.Hide = ReadIniBool(file, SettingsSection, "Hide", false);
    program.Language = profile::ReadString(file, SettingsSection, "Language", "Russian");
    return program;
}

std::vector<std::string> ReadWorkSections(const std::string& file) {
    std::vector<std::string> sections;
    for (const std::string& section : profile::ReadSectionNames(file)) {
        if (!IsWorkSection(section))
            continue;
        bool repeated = false;
        for (const std::string& s : sections)
            repeated = repeated || profile::SameName(s, section);
        if (!repeated)
            sections.push_back(section);
    }
    return sections;
}

TWorkConfig ReadWork(const std::string& file, const std::string& section) {
    return ReadWorkKeys(file, section);
}

bool WriteProgramSettings(const std::string& file, const TProgramSettings& program, std::string* error) {
    if (WriteIniInteger(file, SettingsSection, "PID", program.PID) &&
        WriteIniBool(file, SettingsSection, "Hide", program.Hide) &&
        profile::WriteString(file, SettingsSection, "Language", program.Language))
        return true;
    Fail(error, WriteFailure(file));
    return false;
}

bool WriteWork(const std::string& file, const TWorkConfig& work, std::string* error) {
    if (WriteWorkKeys(file, work))
        return true;
    Fail(error, WriteFailure(file));
    return false;
}

bool EraseWork(const std::string& file, const std::string& section, std::string* error) {
    if (profile::EraseSection(file, section))
        return true;
    Fail(error, WriteFailure(file));
    return false;
}

} // namespace kw
