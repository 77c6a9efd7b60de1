// The work editor's form as values: what each of its controls holds, and the limits of its
// spin fields. The work-field table (config/WorkFields.h) maps each stored field to one of
// these members; the editor's decisions over them are in ui/EditWork.h.
#pragma once
#include "config/WorkConfig.h"
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
constexpr int CodePageCount = 6;  // Windows-1251, UTF-8, KOI8-R, KOI8-U, CP866, Latin
constexpr int EscapingModeCount = 5;  // none, HTML, XML, JSON, URL (render/ValueEscaping.h)
constexpr int UrlFieldCapacity = 2048;  // an HTTP target's URL, tags included
constexpr int TriggerLettersCapacity = 32;

// The controls' contents as the user sees them. File names are the values taken from the
// file-name fields, that is with the quotes of a name with blanks already dropped.
struct TEditWorkFields {
    std::string Name;
    std::string FileIn;
    std::string FileOut;
    int Secs = DefaultUpdateSecs;
    int CodePage = 0;
    int Escaping = 0;  // of the values tags insert; an unknown stored mode shows as none
    int Target = tcFileOnly;  // TTargetChoice: file only, FTP, HTTP(S), TCP, UDP, MQTT
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
    // the MQTT target; the port as typed (empty: the protocol's port)
    std::string MQTTHost;
    std::string MQTTPort;
    bool MQTTTLS = false;
    std::string MQTTCert;
    std::string MQTTClientId;
    std::string MQTTUser;
    std::string MQTTPass;
    std::string MQTTTopic;
    int MQTTQoS = 1;
    bool MQTTRetain = true;
    std::string MQTTStatusTopic;
    bool MQTTNowPlaying = false;  // the message is the now-playing document: no template needed
    // publishing: when the work renders at once, how far behind the air, unchanged pages
    int Trigger = trEveryElement;  // TTrigger
    std::string TriggerLetters;    // with trLetters: the element type letters as typed
    bool TriggerBlock = true;
    int Delay = 0;  // seconds, 0..MaxDelaySecs
    bool OnlyChanged = false;
    int RefreshMinutes = 0;  // with OnlyChanged; 0: never
    bool ServeLive = false;  // the live server serves the page
};

// True when `letters` (blanks around them aside) are one or more of the element type letters,
// in either case.
bool ElementLettersValid(const std::string& letters);

// Keeps a spin field's number within its limits.
inline int ClampToRange(long long value, int low, int high) {
    if (value < low)
        return low;
    if (value > high)
        return high;
    return static_cast<int>(value);
}

// Whether a file exists (the checks of the template and output file names).
using TFileExists = std::function<bool(const std::string&)>;

} // namespace kw
