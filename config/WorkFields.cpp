// The table of a work's fields.
#include "config/WorkFields.h"
#include "config/EditWorkText.h"
#include "config/TargetChecks.h"
#include "platform/FileSystem.h"
#include "platform/Tls.h"
#include <algorithm>

namespace kw {

namespace {

constexpr int32_t TextCapacity = 255;
// A URL holds tags and a query: longer than the other fields.
constexpr int32_t UrlCapacity = UrlFieldCapacity;
constexpr int16_t MinStoredUpdate = 15;
constexpr int32_t TopicCapacity = static_cast<int32_t>(MaxTopicTemplateBytes);

// "file only" and FTP have no name: FTP keeps its own switch (UseFTP), so a file from before the
// other targets existed reads and writes as it always did.
const char* const TargetNames[TargetChoiceCount] = {"", "", "HTTP", "TCP", "UDP", "MQTT"};
// Every element is the behaviour of a file without the key.
const char* const TriggerNames[TriggerCount] = {"", "Songs", "Letters"};
const char* const MqttPayloadNames[MqttPayloadCount] = {"Template", "NowPlaying"};

TFieldValue Number(int32_t n) { return TFieldValue{n, {}}; }
TFieldValue Text(std::string s) { return TFieldValue{0, std::move(s)}; }

bool Blank(const std::string& text) { return TrimText(text).empty(); }

// The work renders a template: every work but one that publishes the now-playing document.
bool NeedsTemplate(const TEditWorkFields& f) { return !(f.Target == tcMQTT && f.MQTTNowPlaying); }

// The output, trimmed, names `file` in any letter case.
bool SameOutput(const TEditWorkFields& f, const std::string& file) {
    return AnsiUpperCase(TrimText(f.FileOut)) == AnsiUpperCase(file);
}

constexpr TCheckScope Field = TCheckScope::Field;
constexpr TCheckScope Fields = TCheckScope::Fields;
constexpr TCheckScope OtherWork = TCheckScope::OtherWork;
using E = TEditWorkFields;
using I = TCheckInput;

const TWorkField Table[] = {
    // Every work.
    {.Key = "Name", .Stored = TStored::Text, .DefaultText = nullptr, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.Name); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Name = v.Text; },
     .Control = "EName", .Kind = TControlKind::Edit, .TextField = &E::Name, .Trimmed = true,
     .Checks = {{"SetShape", Field, [](const E& f, const I&) { return Blank(f.Name); }},
                {"DblShape", OtherWork, [](const E& f, const I& in) { return TrimText(f.Name) == in.Other->Name; }}}},
    // file names are taken as entered
    {.Key = "FileIn", .Stored = TStored::Text, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.FileIn); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FileIn = v.Text; },
     .Control = "FEFileIn", .Kind = TControlKind::FileName, .TextField = &E::FileIn,
     .Checks = {{"SetFileIn", Field, [](const E& f, const I&) { return NeedsTemplate(f) && Blank(f.FileIn); }},
                {"FileInNotEx", Field,
                 [](const E& f, const I& in) {
                     return NeedsTemplate(f) && in.FileExists && !(*in.FileExists)(f.FileIn);
                 }}}},
    {.Key = "FileOut", .Stored = TStored::Text, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.FileOut); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FileOut = v.Text; },
     .Control = "FEFileOut", .Kind = TControlKind::FileName, .TextField = &E::FileOut,
     // a work that publishes the now-playing document writes its page only when it names a file
     .Checks = {{"SetFileOut", Field, [](const E& f, const I&) { return NeedsTemplate(f) && Blank(f.FileOut); }},
                {"SetInOutErr", Fields, [](const E& f, const I&) { return NeedsTemplate(f) && f.FileIn == f.FileOut; }},
                // another work's template (one it reads) or output, in any letter case
                {"OtherOut", OtherWork,
                 [](const E& f, const I& in) {
                     return !Blank(f.FileOut) && !PublishesNowPlaying(*in.Other) && SameOutput(f, in.Other->FileIn);
                 },
                 true},
                {"DblOut", OtherWork,
                 [](const E& f, const I& in) { return !Blank(f.FileOut) && SameOutput(f, in.Other->FileOut); },
                 true}}},
    {.Key = "Update", .Stored = TStored::Integer, .DefaultNumber = DefaultUpdateSecs, .Min = INT16_MIN,
     .Max = INT16_MAX, .Get = [](const TWorkConfig& c) { return Number(c.Update); },
     // a stored period below the least is raised to it; the file has no upper bound
     .Set = [](TWorkConfig& c, const TFieldValue& v) {
         c.Update = static_cast<int16_t>(std::max<int32_t>(v.Number, MinStoredUpdate));
     },
     .Control = "ESecs", .Kind = TControlKind::Spin, .NumberField = &E::Secs,
     .Apply = [](const E& f, TWorkConfig& c) {
         c.Update = static_cast<int16_t>(ClampToRange(f.Secs, MinUpdateSecs, MaxUpdateSecs));
     }},
    {.Key = "CodePage", .Stored = TStored::Integer, .Min = 0, .Max = 255,
     .Get = [](const TWorkConfig& c) { return Number(c.CodePage); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.CodePage = static_cast<uint8_t>(v.Number); },
     .Control = "CBCodePage", .Kind = TControlKind::List, .NumberField = &E::CodePage, .Positions = CodePageCount},
    // FTP's switch; the editor shows it within the choice of target (the key Target below)
    {.Key = "UseFTP", .Stored = TStored::Boolean,
     .Get = [](const TWorkConfig& c) { return Number(c.FTP.Use); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.Use = v.Number != 0; }},
    // a later program's mode is kept in the file; the editor shows it as none
    {.Key = "Escaping", .Stored = TStored::Integer, .OnlyWhenSet = true, .Min = 0, .Max = 255,
     .Get = [](const TWorkConfig& c) { return Number(c.Escaping); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Escaping = static_cast<uint8_t>(v.Number); },
     .Control = "CBEscaping", .Kind = TControlKind::List, .NumberField = &E::Escaping,
     .Positions = EscapingModeCount},
    {.Key = "Target", .Stored = TStored::Choice, .OnlyWhenSet = true, .DefaultNumber = tcFileOnly,
     .Names = TargetNames, .NameCount = TargetChoiceCount,
     .Get = [](const TWorkConfig& c) { return Number(c.Target); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Target = static_cast<uint8_t>(v.Number); },
     .Control = "CBTarget", .Kind = TControlKind::List, .NumberField = &E::Target, .Positions = TargetChoiceCount,
     .Fill = [](const TWorkConfig& c, E& f) { f.Target = TargetChoiceOf(c); },
     .Apply = [](const E& f, TWorkConfig& c) {
         SetTargetChoice(c, static_cast<TTargetChoice>(ClampToRange(f.Target, 0, TargetChoiceCount - 1)));
     }},

    // The HTTP(S) target.
    {.Key = "HTTPMethod", .Stored = TStored::Choice, .While = TWhile::Http, .DefaultNumber = hmGET,
     .Names = HttpMethodNames, .NameCount = HttpMethodCount,
     .Get = [](const TWorkConfig& c) { return Number(c.HTTP.Method); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.HTTP.Method = static_cast<uint8_t>(v.Number); },
     .Control = "CBHTTPMethod", .Kind = TControlKind::List, .NumberField = &E::HTTPMethod,
     .Positions = HttpMethodCount},
    // may hold tags, but never in the scheme, host or port: a value must not choose the server
    {.Key = "HTTPURL", .Stored = TStored::Text, .While = TWhile::Http, .Max = UrlCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.HTTP.URL); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.HTTP.URL = v.Text; },
     .Control = "EHTTPURL", .Kind = TControlKind::Edit, .TextField = &E::HTTPURL, .Trimmed = true,
     .Checks = {{"NoHTTPURL", Field, [](const E& f, const I&) {
                     TUrlParts parts;
                     const std::string url = TrimText(f.HTTPURL);
                     return !SplitUrl(url, parts) || !TagFreeOrigin(url);
                 }}}},
    // empty: no credentials are sent
    {.Key = "HTTPLogin", .Stored = TStored::Text, .While = TWhile::Http, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.HTTP.Login); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.HTTP.Login = v.Text; },
     .Control = "EHTTPUser", .Kind = TControlKind::Edit, .TextField = &E::HTTPUser, .Trimmed = true},
    // a password is taken as typed
    {.Key = "HTTPPass", .Stored = TStored::Password, .While = TWhile::Http, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.HTTP.Password); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.HTTP.Password = v.Text; },
     .Control = "EHTTPPass", .Kind = TControlKind::Edit, .TextField = &E::HTTPPass},
    // empty: from the output file's extension and the code page
    {.Key = "HTTPType", .Stored = TStored::Text, .While = TWhile::Http, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.HTTP.ContentType); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.HTTP.ContentType = v.Text; },
     .Control = "EHTTPType", .Kind = TControlKind::Edit, .TextField = &E::HTTPType, .Trimmed = true,
     .Checks = {{"BadHTTPType", Field, [](const E& f, const I&) { return !SafeHeaderValue(TrimText(f.HTTPType)); }}}},
    // empty: the system's certificate check; else the one trusted certificate's SHA-256
    {.Key = "HTTPCert", .Stored = TStored::Text, .While = TWhile::Http, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.HTTP.CertSHA256); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.HTTP.CertSHA256 = v.Text; },
     .Control = "EHTTPCert", .Kind = TControlKind::Edit, .TextField = &E::HTTPCert, .Trimmed = true,
     .Checks = {{"BadCertSHA256", Field, [](const E& f, const I&) {
                     std::string fingerprint;
                     return !Blank(f.HTTPCert) && !NormaliseFingerprint(TrimText(f.HTTPCert), fingerprint);
                 }}}},

    // The TCP and UDP text targets.
    {.Key = "TextHost", .Stored = TStored::Text, .While = TWhile::Text, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.Text.Host); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Text.Host = v.Text; },
     .Control = "ETextHost", .Kind = TControlKind::Edit, .TextField = &E::TextHost, .Trimmed = true,
     .Checks = {{"NoTextHost", Field, [](const E& f, const I&) { return Blank(f.TextHost); }}}},
    // the editor holds the port as typed, so a wrong one can be told
    {.Key = "TextPort", .Stored = TStored::Integer, .While = TWhile::Text, .Min = 0, .Max = 65535,
     .Get = [](const TWorkConfig& c) { return Number(c.Text.Port); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Text.Port = static_cast<uint16_t>(v.Number); },
     .Control = "ETextPort", .Kind = TControlKind::Edit, .TextField = &E::TextPort,
     .Fill = [](const TWorkConfig& c, E& f) {
         f.TextPort = c.Text.Port ? std::to_string(c.Text.Port) : std::string();
     },
     .Apply = [](const E& f, TWorkConfig& c) {
         uint16_t port = 0;
         c.Text.Port = ParsePort(f.TextPort, port) ? port : 0;
     },
     .Checks = {{"BadTextPort", Field, [](const E& f, const I&) {
                     uint16_t port = 0;
                     return !ParsePort(f.TextPort, port);
                 }}}},

    // The MQTT target. Every key stands only while it differs from its default, so a file
    // written before the target existed reads and writes as it did.
    {.Key = "MQTTHost", .Stored = TStored::Text, .While = TWhile::Mqtt, .OnlyWhenSet = true, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.MQTT.Host); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.Host = v.Text; },
     .Control = "EMQTTHost", .Kind = TControlKind::Edit, .TextField = &E::MQTTHost, .Trimmed = true,
     .Checks = {{"NoMQTTHost", Field, [](const E& f, const I&) { return Blank(f.MQTTHost); }}}},
    // empty in the editor: the protocol's port (1883, 8883 with TLS)
    {.Key = "MQTTPort", .Stored = TStored::Integer, .While = TWhile::Mqtt, .OnlyWhenSet = true, .Min = 0, .Max = 65535,
     .Get = [](const TWorkConfig& c) { return Number(c.MQTT.Port); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.Port = static_cast<uint16_t>(v.Number); },
     .Control = "EMQTTPort", .Kind = TControlKind::Edit, .TextField = &E::MQTTPort,
     .Fill = [](const TWorkConfig& c, E& f) { f.MQTTPort = c.MQTT.Port ? std::to_string(c.MQTT.Port) : std::string(); },
     .Apply = [](const E& f, TWorkConfig& c) {
         uint16_t port = 0;
         c.MQTT.Port = ParsePort(f.MQTTPort, port) ? port : 0;
     },
     .Checks = {{"BadMQTTPort", Field, [](const E& f, const I&) {
                     uint16_t port = 0;
                     return !Blank(f.MQTTPort) && !ParsePort(f.MQTTPort, port);
                 }}}},
    {.Key = "MQTTTLS", .Stored = TStored::Boolean, .While = TWhile::Mqtt, .OnlyWhenSet = true,
     .Get = [](const TWorkConfig& c) { return Number(c.MQTT.Tls); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.Tls = v.Number != 0; },
     .Control = "CBMQTTTLS", .Kind = TControlKind::Check, .FlagField = &E::MQTTTLS},
    // empty: the system's check; else the one trusted certificate's SHA-256, stored in one form
    {.Key = "MQTTCert", .Stored = TStored::Text, .While = TWhile::Mqtt, .OnlyWhenSet = true, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.MQTT.TlsSha256); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.TlsSha256 = v.Text; },
     .Control = "EMQTTCert", .Kind = TControlKind::Edit, .TextField = &E::MQTTCert,
     .Apply = [](const E& f, TWorkConfig& c) {
         c.MQTT.TlsSha256 = f.MQTTTLS ? net::NormalizeSha256Text(TrimText(f.MQTTCert)) : std::string();
     },
     .Checks = {{"BadMQTTCert", Fields, [](const E& f, const I&) {
                     return f.MQTTTLS && !Blank(f.MQTTCert) && net::NormalizeSha256Text(TrimText(f.MQTTCert)).empty();
                 }}}},
    // empty: derived from the computer's name and the work's section
    {.Key = "MQTTClientId", .Stored = TStored::Text, .While = TWhile::Mqtt, .OnlyWhenSet = true, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.MQTT.ClientId); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.ClientId = v.Text; },
     .Control = "EMQTTClientId", .Kind = TControlKind::Edit, .TextField = &E::MQTTClientId, .Trimmed = true,
     .Checks = {{"BadMQTTClientId", Field,
                 [](const E& f, const I&) { return !ClientIdValid(TrimText(f.MQTTClientId)); }}}},
    // empty: no credentials are sent
    {.Key = "MQTTUser", .Stored = TStored::Text, .While = TWhile::Mqtt, .OnlyWhenSet = true, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.MQTT.User); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.User = v.Text; },
     .Control = "EMQTTUser", .Kind = TControlKind::Edit, .TextField = &E::MQTTUser, .Trimmed = true},
    // a password is taken as typed
    {.Key = "MQTTPass", .Stored = TStored::Password, .While = TWhile::Mqtt, .OnlyWhenSet = true, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.MQTT.Password); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.Password = v.Text; },
     .Control = "EMQTTPass", .Kind = TControlKind::Edit, .TextField = &E::MQTTPass},
    // may hold tags; their values can neither add a level nor a wildcard
    {.Key = "MQTTTopic", .Stored = TStored::Text, .While = TWhile::Mqtt, .OnlyWhenSet = true, .Max = TopicCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.MQTT.Topic); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.Topic = v.Text; },
     .Control = "EMQTTTopic", .Kind = TControlKind::Edit, .TextField = &E::MQTTTopic, .Trimmed = true,
     .Checks = {{"BadMQTTTopic", Field,
                 [](const E& f, const I&) { return !PublishTopicValid(TrimText(f.MQTTTopic)); }}}},
    {.Key = "MQTTQoS", .Stored = TStored::Integer, .While = TWhile::Mqtt, .OnlyWhenSet = true, .DefaultNumber = 1,
     .Min = 0, .Max = 1, .Get = [](const TWorkConfig& c) { return Number(c.MQTT.Qos); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.Qos = static_cast<uint8_t>(v.Number); },
     .Control = "CBMQTTQoS", .Kind = TControlKind::List, .NumberField = &E::MQTTQoS, .Positions = 2},
    {.Key = "MQTTRetain", .Stored = TStored::Boolean, .While = TWhile::Mqtt, .OnlyWhenSet = true, .DefaultNumber = 1,
     .Get = [](const TWorkConfig& c) { return Number(c.MQTT.Retained); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.Retained = v.Number != 0; },
     .Control = "CBMQTTRetain", .Kind = TControlKind::Check, .FlagField = &E::MQTTRetain},
    // empty: the topic's prefix + "/status"; a fixed topic (the last will is set when connecting)
    {.Key = "MQTTStatusTopic", .Stored = TStored::Text, .While = TWhile::Mqtt, .OnlyWhenSet = true,
     .Max = TopicCapacity, .Get = [](const TWorkConfig& c) { return Text(c.MQTT.StatusTopic); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.StatusTopic = v.Text; },
     .Control = "EMQTTStatusTopic", .Kind = TControlKind::Edit, .TextField = &E::MQTTStatusTopic, .Trimmed = true,
     .Checks = {{"BadMQTTStatusTopic", Field, [](const E& f, const I&) {
                     const std::string topic = TrimText(f.MQTTStatusTopic);
                     return !topic.empty() &&
                            (!PublishTopicValid(topic) || AsciiLower(topic).find("!kw!") != std::string::npos);
                 }}}},

    // the message: the template's page, or the now-playing document in place of a template
    {.Key = "MQTTPayload", .Stored = TStored::Choice, .While = TWhile::Mqtt, .OnlyWhenSet = true,
     .DefaultNumber = mpTemplate, .Names = MqttPayloadNames, .NameCount = MqttPayloadCount,
     .Get = [](const TWorkConfig& c) { return Number(c.MQTT.Payload); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.MQTT.Payload = static_cast<uint8_t>(v.Number); },
     .Control = "CBMQTTNowPlaying", .Kind = TControlKind::Check, .FlagField = &E::MQTTNowPlaying},

    // FTP over TLS: explicit ("AUTH TLS") on the control and data connections.
    {.Key = "FTPTLS", .Stored = TStored::Boolean, .While = TWhile::Ftp, .OnlyWhenSet = true,
     .Get = [](const TWorkConfig& c) { return Number(c.FTP.Tls); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.Tls = v.Number != 0; },
     .Control = "CBFTPTLS", .Kind = TControlKind::Check, .FlagField = &E::FTPTLS},
    // empty: the system's check; else the one trusted certificate's SHA-256, stored in one form
    {.Key = "FTPTLSCert", .Stored = TStored::Text, .While = TWhile::Ftps, .OnlyWhenSet = true, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.FTP.TlsSha256); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.TlsSha256 = v.Text; },
     .Control = "EFTPCert", .Kind = TControlKind::Edit, .TextField = &E::FTPTLSCert,
     .Apply = [](const E& f, TWorkConfig& c) {
         c.FTP.TlsSha256 = f.FTPTLS ? net::NormalizeSha256Text(TrimText(f.FTPTLSCert)) : std::string();
     },
     // only while TLS is on: a stale fingerprint of a plain connection blocks nothing
     .Checks = {{"BadFTPCert", Fields, [](const E& f, const I&) {
                     return f.FTPTLS && !Blank(f.FTPTLSCert) &&
                            net::NormalizeSha256Text(TrimText(f.FTPTLSCert)).empty();
                 }}}},

    // The FTP target.
    {.Key = "FTPServer", .Stored = TStored::Text, .While = TWhile::Ftp, .Max = 0,
     .Get = [](const TWorkConfig& c) { return Text(c.FTP.Server); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.Server = v.Text; },
     .Control = "EFTPServer", .Kind = TControlKind::Edit, .TextField = &E::FTPServer,
     .Apply = [](const E& f, TWorkConfig& c) { c.FTP.Server = FtpAddress(f.FTPServer, f.FTPPort).Server; },
     .Checks = {{"SetFTPServ", Field, [](const E& f, const I&) { return Blank(f.FTPServer); }}}},
    {.Key = "FTPPort", .Stored = TStored::Integer, .While = TWhile::Ftp, .DefaultNumber = DefaultFtpPort, .Min = 0,
     .Max = 65535, .Get = [](const TWorkConfig& c) { return Number(c.FTP.Port); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.Port = static_cast<uint16_t>(v.Number); },
     .Control = "EFTPPort", .Kind = TControlKind::Spin, .NumberField = &E::FTPPort,
     .Apply = [](const E& f, TWorkConfig& c) { c.FTP.Port = FtpAddress(f.FTPServer, f.FTPPort).Port; }},
    {.Key = "FTPPassive", .Stored = TStored::Boolean, .While = TWhile::Ftp,
     .Get = [](const TWorkConfig& c) { return Number(c.FTP.Passive); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.Passive = v.Number != 0; },
     .Control = "CBFTPPassive", .Kind = TControlKind::Check, .FlagField = &E::FTPPassive},
    // the server keeps its names in UTF-8
    {.Key = "FTPUTF8", .Stored = TStored::Boolean, .While = TWhile::Ftp,
     .Get = [](const TWorkConfig& c) { return Number(c.FTP.UTF8); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.UTF8 = v.Number != 0; },
     .Control = "CBFTPUTF8", .Kind = TControlKind::Check, .FlagField = &E::FTPUTF8},
    {.Key = "FTPLogin", .Stored = TStored::Text, .While = TWhile::Ftp, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.FTP.Login); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.Login = v.Text; },
     .Control = "EFTPUser", .Kind = TControlKind::Edit, .TextField = &E::FTPUser, .Trimmed = true,
     .Checks = {{"SetFTPUser", Field, [](const E& f, const I&) { return Blank(f.FTPUser); }}}},
    // a password is taken as typed
    {.Key = "FTPPass", .Stored = TStored::Password, .While = TWhile::Ftp, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.FTP.Password); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.Password = v.Text; },
     .Control = "EFTPPass", .Kind = TControlKind::Edit, .TextField = &E::FTPPass,
     .Checks = {{"SetFTPPass", Field, [](const E& f, const I&) { return Blank(f.FTPPass); }}}},
    {.Key = "FTPPath", .Stored = TStored::Text, .While = TWhile::Ftp, .DefaultText = "/", .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.FTP.Folder); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.Folder = v.Text; },
     .Control = "EFTPPath", .Kind = TControlKind::Edit, .TextField = &E::FTPPath,
     .Apply = [](const E& f, TWorkConfig& c) { c.FTP.Folder = f.FTPPath.empty() ? "/" : f.FTPPath; }},
    // spelled so in every settings file; empty in the editor: the output file's own name
    {.Key = "FIPFile", .Stored = TStored::Text, .While = TWhile::Ftp, .Max = TextCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.FTP.RemoteName); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.FTP.RemoteName = v.Text; },
     .Control = "EFTPFileName", .Kind = TControlKind::Edit, .TextField = &E::FTPFileName,
     .Apply = [](const E& f, TWorkConfig& c) {
         c.FTP.RemoteName = f.FTPFileName.empty() ? fs::ExtractFileName(f.FileOut) : f.FTPFileName;
     }},

    // Publishing: when a work renders at once, how far behind the broadcast, and whether an
    // unchanged page goes out again. Every key stands only while it differs from the behaviour
    // of a file without it.
    {.Key = "Trigger", .Stored = TStored::Choice, .OnlyWhenSet = true, .DefaultNumber = trEveryElement,
     .Names = TriggerNames, .NameCount = TriggerCount,
     .Get = [](const TWorkConfig& c) { return Number(c.Publish.Trigger); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Publish.Trigger = static_cast<uint8_t>(v.Number); },
     .Control = "CBTrigger", .Kind = TControlKind::List, .NumberField = &E::Trigger, .Positions = TriggerCount},
    // the element type letters of the guide's table; other bytes never match a type. Kept only
    // while letters are the trigger, so nothing unchecked reaches the file.
    {.Key = "TriggerLetters", .Stored = TStored::Text, .OnlyWhenSet = true, .Max = TriggerLettersCapacity,
     .Get = [](const TWorkConfig& c) { return Text(c.Publish.Letters); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Publish.Letters = v.Text; },
     .Control = "ETriggerLetters", .Kind = TControlKind::Edit, .TextField = &E::TriggerLetters,
     .Apply = [](const E& f, TWorkConfig& c) {
         c.Publish.Letters = f.Trigger == trLetters ? AnsiUpperCase(TrimText(f.TriggerLetters)) : std::string();
     },
     .Checks = {{"BadTriggerLetters", Fields, [](const E& f, const I&) {
                     return f.Trigger == trLetters && !ElementLettersValid(f.TriggerLetters);
                 }}}},
    {.Key = "TriggerBlock", .Stored = TStored::Boolean, .OnlyWhenSet = true, .DefaultNumber = 1,
     .Get = [](const TWorkConfig& c) { return Number(c.Publish.OnBlock); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Publish.OnBlock = v.Number != 0; },
     .Control = "CBTriggerBlock", .Kind = TControlKind::Check, .FlagField = &E::TriggerBlock},
    {.Key = "Delay", .Stored = TStored::Integer, .OnlyWhenSet = true, .Min = 0, .Max = MaxDelaySecs,
     .Get = [](const TWorkConfig& c) { return Number(c.Publish.DelaySecs); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Publish.DelaySecs = static_cast<int16_t>(v.Number); },
     .Control = "EDelay", .Kind = TControlKind::Spin, .NumberField = &E::Delay,
     .Apply = [](const E& f, TWorkConfig& c) {
         c.Publish.DelaySecs = static_cast<int16_t>(ClampToRange(f.Delay, 0, MaxDelaySecs));
     }},
    {.Key = "OnlyChanged", .Stored = TStored::Boolean, .OnlyWhenSet = true,
     .Get = [](const TWorkConfig& c) { return Number(c.Publish.OnlyChanged); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Publish.OnlyChanged = v.Number != 0; },
     .Control = "CBOnlyChanged", .Kind = TControlKind::Check, .FlagField = &E::OnlyChanged},
    {.Key = "RefreshMinutes", .Stored = TStored::Integer, .OnlyWhenSet = true, .Min = 0, .Max = MaxRefreshMinutes,
     .Get = [](const TWorkConfig& c) { return Number(c.Publish.RefreshMinutes); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.Publish.RefreshMinutes = static_cast<int16_t>(v.Number); },
     .Control = "ERefreshMinutes", .Kind = TControlKind::Spin, .NumberField = &E::RefreshMinutes,
     .Apply = [](const E& f, TWorkConfig& c) {
         c.Publish.RefreshMinutes = static_cast<int16_t>(ClampToRange(f.RefreshMinutes, 0, MaxRefreshMinutes));
     }},

    // Live pages: the live server serves the work's latest page and pushes each new one.
    {.Key = "ServeLive", .Stored = TStored::Boolean, .OnlyWhenSet = true,
     .Get = [](const TWorkConfig& c) { return Number(c.ServeLive); },
     .Set = [](TWorkConfig& c, const TFieldValue& v) { c.ServeLive = v.Number != 0; },
     .Control = "CBServeLive", .Kind = TControlKind::Check, .FlagField = &E::ServeLive},
};

} // namespace

std::span<const TWorkField> WorkFields() { return Table; }

void FillField(const TWorkField& field, const TWorkConfig& c, TEditWorkFields& f) {
    if (field.Fill) {
        field.Fill(c, f);
        return;
    }
    if (!field.Get)
        return;
    const TFieldValue v = field.Get(c);
    if (field.TextField)
        f.*field.TextField = v.Text;
    if (field.NumberField) {
        const bool offered = !field.Positions || (v.Number >= 0 && v.Number < field.Positions);
        f.*field.NumberField = offered ? v.Number : field.DefaultNumber;
    }
    if (field.FlagField)
        f.*field.FlagField = v.Number != 0;
}

void ApplyField(const TWorkField& field, const TEditWorkFields& f, TWorkConfig& c) {
    if (field.Apply) {
        field.Apply(f, c);
        return;
    }
    if (!field.Set)
        return;
    if (field.TextField)
        field.Set(c, Text(field.Trimmed ? TrimText(f.*field.TextField) : f.*field.TextField));
    if (field.NumberField) {
        const int n = f.*field.NumberField;
        field.Set(c, Number(field.Positions ? ClampToRange(n, 0, field.Positions - 1) : n));
    }
    if (field.FlagField)
        field.Set(c, Number(f.*field.FlagField ? 1 : 0));
}

bool StandsInSection(const TWorkField& field, const TWorkConfig& c) {
    switch (field.While) {
    case TWhile::Always: return true;
    case TWhile::Ftp: return c.FTP.Use;
    case TWhile::Ftps: return c.FTP.Use && c.FTP.Tls;
    case TWhile::Http: return c.Target == tcHTTP;
    case TWhile::Text: return c.Target == tcTCP || c.Target == tcUDP;
    case TWhile::Mqtt: return c.Target == tcMQTT;
    }
    return false;
}

bool BelongsToTarget(const TWorkField& field, int target) {
    switch (field.While) {
    case TWhile::Always: return true;
    case TWhile::Ftp:
    case TWhile::Ftps: return target == tcFTP;
    case TWhile::Http: return target == tcHTTP;
    case TWhile::Text: return target == tcTCP || target == tcUDP;
    case TWhile::Mqtt: return target == tcMQTT;
    }
    return false;
}

const TWorkField* FieldOfMessage(const std::string& key) {
    for (const TWorkField& field : Table)
        for (const TFieldCheck& check : field.Checks)
            if (check.Message && key == check.Message)
                return &field;
    return nullptr;
}

bool ElementLettersValid(const std::string& letters) {
    // the letters of the element types 0..16 (render/ValueFormat.h, the guide's table)
    static const std::string known = "MIOVPJEBDCRHSGFL";
    const std::string typed = TrimText(letters);
    for (char c : typed) {
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (known.find(upper) == std::string::npos)
            return false;
    }
    return !typed.empty();
}

TFtpAddress FtpAddress(const std::string& server, long long port) {
    return TFtpAddress{TrimText(server), static_cast<uint16_t>(ClampToRange(port, MinFtpPort, MaxFtpPort))};
}

} // namespace kw
