// The work editor's decisions, kept apart from its window: the values of its controls
// (`TEditWorkFields`), filling them from a work, the checks before saving in their fixed order,
// the new section name of a new work and the copy of the controls into the work. Each field's
// part in these is described once, in the work-field table (config/WorkFields.h).
#pragma once
#include "config/EditWorkFields.h"
#include "config/SettingsFile.h"
#include "works/WorkList.h"
#include <functional>
#include <string>

namespace kw {

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

// The address of the work's page on the live server, for the editor to show and copy:
// http://127.0.0.1:<port>/works/<section> while the server listens on this computer only; the
// computer's name (when the system gives one) and "?key=<access key>" while other computers may
// connect, as every address then needs the key. Empty while the server is off or the work has no
// section yet (a new work gets it when saved).
std::string LiveAddress(const TLiveSettings& live, const std::string& section, const std::string& computer);

} // namespace kw
