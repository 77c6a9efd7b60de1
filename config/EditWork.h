// The work editor's decisions, kept apart from its window: the values of its controls
// (`TEditWorkFields`), filling them from a work, the checks before saving in their fixed order,
// the new section name of a new work and the copy of the controls into the work. Each field's
// part in these is described once, in the work-field table (config/WorkFields.h).
#pragma once
#include "config/Settings.h"
#include <functional>
#include <string>

namespace kw {

// Limits of the editor's spin fields.
constexpr int MinUpdateSecs = 15;
constexpr int MaxUpdateSecs = 900;
constexpr int DefaultUpdateSecs = 60;
constexpr int MinFtpPort = 1;
constexpr int MaxFtpPort = 65535;
constexpr int DefaultFtpPort = 21;
constexpr int CodePageCount = 5;  // Windows-1251, UTF-8, KOI8-R, KOI8-U, CP866
constexpr int EscapingModeCount = 5;  // none, HTML, XML, JSON, URL (render/ValueEscaping.h)
constexpr int UrlFieldCapacity = 2048;  // an HTTP target's URL, tags included

// The controls' contents as the user sees them. File names are the values taken from the
// file-name fields, that is with the quotes of a name with blanks already dropped.
struct TEditWorkFields {
    std::string Name;
    std::string FileIn;
    std::string FileOut;
    int Secs = DefaultUpdateSecs;
    int CodePage = 0;
    int Escaping = 0;  // of the values tags insert; an unknown stored mode shows as none
    int Target = tcFileOnly;  // TTargetChoice: file only, FTP, HTTP(S), TCP, UDP
    std::string FTPServer;
    int FTPPort = DefaultFtpPort;
    bool FTPPassive = false;
    bool FTPUTF8 = false;
    std::string FTPUser;
    std::string FTPPass;
    std::string FTPPath = "/";
    std::string FTPFileName;
    // the HTTP(S) target
    int HTTPMethod = hmGET;
    std::string HTTPURL;
    std::string HTTPUser;
    std::string HTTPPass;
    std::string HTTPType;
    std::string HTTPCert;
    // the TCP and UDP text targets; the port as typed, so a wrong one can be told
    std::string TextHost;
    std::string TextPort;
    bool FTPTLS = false;
    std::string FTPTLSCert;  // the trusted certificate's fingerprint as typed
};

// `FillData`: the controls for work `index`, or the defaults for -1 (or a position that is
// not in the list).
TEditWorkFields FillData(const TWorkList& works, int index);

// Outcome of `CheckSttings`: the message key of the first failing check, and for "OtherOut"
// and "DblOut" the other work's name as the format argument.
struct TCheckResult {
    bool Ok = true;
    std::string MessageKey;
    bool HasArgument = false;
    std::string Argument;
};

using TFileExists = std::function<bool(const std::string&)>;

// The checks before saving, in order, stopping at the first failure. `editIndex` is the
// work's own position (skipped when comparing with the other works), -1 for a new work.
TCheckResult CheckSttings(const TEditWorkFields& fields, const TWorkList& works, int editIndex,
                          const TFileExists& fileExists);

// The checks of the chosen target's own fields (FTP: those of the folder browser button);
// "" when they pass.
std::string CheckTargetFields(const TEditWorkFields& fields);

// The checks of the folder browser button: server, user, password; "" when all are there.
std::string CheckBrowseFields(const TEditWorkFields& fields);

// Local date and time as the section name needs it.
struct TLocalStamp {
    int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};

// "File" + YYMMDDHHNNSS, then the smallest decimal suffix that no work's section has.
std::string NewSectionName(const TWorkList& works, const TLocalStamp& now);

// `GetNewSection`: appends a work with a new section and the settings `config` (its Section is
// replaced) and returns its position, or -1 when the list is full. The work enters the list
// whole: the reader may schedule it at once, and an empty one would have no template.
int GetNewSection(TWorkList& works, const TLocalStamp& now, TWorkConfig config = {});

// `ApplySetting`: the controls copied into a work's settings (keeps its Section).
TWorkConfig ApplySetting(const TEditWorkFields& fields, TWorkConfig config);

// The FTP settings of the editor's fields, as a save with FTP chosen stores them: what the
// folder button browses.
TFTPUse FtpSettingsOf(const TEditWorkFields& fields);

// Keeps a spin field's number within its limits.
int ClampToRange(long long value, int low, int high);

} // namespace kw
