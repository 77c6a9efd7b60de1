// A work's stored fields: what the settings file holds for one work and the editor edits. The
// running work (status cell, render thread, due time, delivery state) is in works/.
#pragma once
#include <cstdint>
#include <string>

namespace kw {

// A work's FTP target (persistent part; the client connection is the FTP delivery's own state).
struct TFTPUse {
    bool Use = false;
    std::string Server;
    uint16_t Port = 21;
    bool Passive = false;
    bool UTF8 = false;
    std::string Login;
    std::string Password;  // plain in memory, scrambled in the file
    std::string Folder = "/";
    std::string RemoteName;
    bool Tls = false;           // FTP over TLS (explicit, "AUTH TLS")
    std::string TlsSha256;      // the one trusted certificate's SHA-256 (empty: the system's check)
};

// Where a work's page goes besides its output file. FTP keeps its own switch (TFTPUse::Use, the
// key UseFTP of every settings file); the others are named by the key "Target".
enum TTargetChoice : uint8_t { tcFileOnly = 0, tcFTP = 1, tcHTTP = 2, tcTCP = 3, tcUDP = 4, tcMQTT = 5 };
inline constexpr uint8_t TargetChoiceCount = 6;

enum THttpMethod : uint8_t { hmGET = 0, hmPOST = 1, hmPUT = 2 };
inline constexpr uint8_t HttpMethodCount = 3;
inline constexpr const char* HttpMethodNames[HttpMethodCount] = {"GET", "POST", "PUT"};

// A work's HTTP(S) target.
struct THTTPUse {
    uint8_t Method = hmGET;   // THttpMethod
    std::string URL;          // may hold tags, expanded and percent-encoded at each render
    std::string Login;        // empty: no credentials are sent
    std::string Password;     // plain in memory, scrambled in the file
    std::string ContentType;  // empty: from the output file's extension and the code page
    std::string CertSHA256;   // empty: the system's certificate check; else the one trusted certificate
};

// A work's TCP or UDP text target (an RDS encoder and the like).
struct TTextUse {
    std::string Host;
    uint16_t Port = 0;
};

// A work's MQTT target: the page as one message to a broker, on a topic that may hold tags.
inline constexpr uint16_t DefaultMqttPort = 1883;
inline constexpr uint16_t DefaultMqttTlsPort = 8883;
// What a work's message carries: its rendered template, or the program's now-playing JSON
// document (UTF-8), which a station group's subscribers read without a template of its own.
enum TMqttPayload : uint8_t { mpTemplate = 0, mpNowPlaying = 1 };
inline constexpr uint8_t MqttPayloadCount = 2;
struct TMqttUse {
    std::string Host;
    uint16_t Port = 0;         // 0: 1883, or 8883 with TLS
    bool Tls = false;
    std::string TlsSha256;     // empty: the system's certificate check; else the one trusted certificate
    std::string ClientId;      // empty: derived from the computer's name and the work's section
    std::string User;          // empty: no credentials are sent
    std::string Password;      // plain in memory, scrambled in the file
    std::string Topic;         // may hold tags, expanded at each render
    uint8_t Qos = 1;           // 0 or 1
    bool Retained = true;
    std::string StatusTopic;   // empty: the topic's prefix + "/status"
    uint8_t Payload = mpTemplate;  // TMqttPayload
};

// When a work publishes: which host events render it at once, how far behind the broadcast
// its pages run, and whether an unchanged page goes out again. The defaults are the program's
// behaviour before these options existed.
enum TTrigger : uint8_t { trEveryElement = 0, trSongs = 1, trLetters = 2 };
inline constexpr uint8_t TriggerCount = 3;
inline constexpr int MaxDelaySecs = 600;
inline constexpr int MaxRefreshMinutes = 1440;

struct TPublishRules {
    uint8_t Trigger = trEveryElement;  // TTrigger
    std::string Letters;               // trLetters: the element type letters that render (e.g. "MS")
    bool OnBlock = true;               // a new block renders at once
    int16_t DelaySecs = 0;             // 0..MaxDelaySecs: the pages show the broadcast this long ago
    bool OnlyChanged = false;          // write and deliver a page only when it differs from the last one
    int16_t RefreshMinutes = 0;        // with OnlyChanged: deliver at least this often anyway (0: never)
};

// A work's persistent fields, copied whole for each render.
struct TWorkConfig {
    std::string Section;
    std::string Name;
    std::string FileIn;
    std::string FileOut;
    int16_t Update = 60;
    uint8_t CodePage = 0;
    uint8_t Escaping = 0;  // of inserted values: 0 none, 1 HTML, 2 XML, 3 JSON, 4 URL (render/ValueEscaping.h)
    TFTPUse FTP;
    uint8_t Target = tcFileOnly;  // tcHTTP, tcTCP, tcUDP or tcMQTT; FTP and "file only" are FTP.Use
    THTTPUse HTTP;
    TTextUse Text;
    TMqttUse MQTT;
    TPublishRules Publish;
    bool ServeLive = false;  // the live server serves the page and pushes each new one
};

// True when the work's page is the now-playing document rather than its template's page: only
// an MQTT work publishes it, so a work moved to another target renders its template again.
inline bool PublishesNowPlaying(const TWorkConfig& config) {
    return config.Target == tcMQTT && config.MQTT.Payload == mpNowPlaying;
}

// The editor's one choice of target, and setting it (FTP.Use and Target together).
TTargetChoice TargetChoiceOf(const TWorkConfig& config);
void SetTargetChoice(TWorkConfig& config, TTargetChoice choice);

} // namespace kw
