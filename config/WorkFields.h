// Every field of a work, described once: its key in the settings file, how the file holds it,
// its default, when it stands in the work's section, the editor control it maps to, how the
// editor fills and applies it, and its checks with their message keys. The settings file's
// reading and writing, the editor model, its checks and the editor window's mapping all walk
// this one table, so a new field is one entry (plus its control in the window).
#pragma once
#include "config/EditWorkFields.h"
#include "config/WorkConfig.h"
#include <cstdint>
#include <span>
#include <string>

namespace kw {

// How the settings file holds a value.
enum class TStored : uint8_t {
    Text,      // as it is, cut to the field's capacity on reading
    Password,  // scrambled (config/Password.h)
    Integer,   // decimal; a stored number outside the field's range reads as the default
    Boolean,   // 1 or 0; any other integer reads as true
    Choice,    // one of a list of names, compared without regard to case
};

// When a key stands in a work's section; otherwise a save deletes it, so a file written before
// a key existed is written back byte for byte.
enum class TWhile : uint8_t {
    Always,
    Ftp,   // the work uploads by FTP
    Ftps,  // ... over TLS
    Http,  // the work's target is HTTP(S)
    Text,  // the work's target is TCP or UDP
    Mqtt,  // the work's target is MQTT
};

// A value between the work and the file: `Number` for integers, booleans and choices (the
// choice's position), `Text` for texts and passwords (plain).
struct TFieldValue {
    int32_t Number = 0;
    std::string Text;
};

// The editor control a field shows in, named as the window and the language files name it.
enum class TControlKind : uint8_t {
    None,      // no control of its own
    Edit,      // a text field
    FileName,  // a file-name field (a name with blanks shows in quotes)
    Check,     // a check box
    Spin,      // a whole-number spin field
    List,      // a drop-down list; its position
};

// What a check looks at; the checks of a group run in this order.
enum class TCheckScope : uint8_t {
    Field,      // the field alone (or the file it names)
    Fields,     // the field together with another one of the form
    OtherWork,  // the field against each other work, one work after the other
};

struct TCheckInput {
    const TFileExists* FileExists = nullptr;
    const TWorkConfig* Other = nullptr;  // OtherWork checks: the work compared with
};

struct TFieldCheck {
    const char* Message = nullptr;  // the message key shown when the check fails
    TCheckScope Scope = TCheckScope::Field;
    bool (*Fails)(const TEditWorkFields&, const TCheckInput&) = nullptr;
    bool NamesOther = false;  // the other work's name is the message's format argument
};

struct TWorkField {
    const char* Key;
    TStored Stored;
    TWhile While = TWhile::Always;
    bool OnlyWhenSet = false;  // written only while it differs from its default
    // Defaults of a missing or unusable key. A null DefaultText is the section's name.
    int32_t DefaultNumber = 0;
    const char* DefaultText = "";
    // Integers: the range a stored number must lie in. Texts: the capacity (0: no limit).
    int32_t Min = 0, Max = 0;
    // Choices: the names, by position ("" is never read; it is written as "no key").
    const char* const* Names = nullptr;
    uint8_t NameCount = 0;
    TFieldValue (*Get)(const TWorkConfig&) = nullptr;
    void (*Set)(TWorkConfig&, const TFieldValue&) = nullptr;

    // The editor: its control and the member of TEditWorkFields the control shows (the one
    // that matches the control's kind).
    const char* Control = nullptr;
    TControlKind Kind = TControlKind::None;
    std::string TEditWorkFields::* TextField = nullptr;
    int TEditWorkFields::* NumberField = nullptr;
    bool TEditWorkFields::* FlagField = nullptr;
    bool Trimmed = false;  // a text is kept without the blanks around it
    // Lists: the positions the list offers; a stored one beyond them shows as the default and a
    // chosen one is kept within them.
    int Positions = 0;
    // Rules of their own, in place of the plain copy between the control's member and the work.
    void (*Fill)(const TWorkConfig&, TEditWorkFields&) = nullptr;
    void (*Apply)(const TEditWorkFields&, TWorkConfig&) = nullptr;
    TFieldCheck Checks[4] = {};
};

// The fields in the order a save writes them (new keys join a section in this order).
std::span<const TWorkField> WorkFields();

// The editor's member of the field from the work, and the work's field from the editor's member.
void FillField(const TWorkField& field, const TWorkConfig& config, TEditWorkFields& fields);
void ApplyField(const TWorkField& field, const TEditWorkFields& fields, TWorkConfig& config);

// True when the field's key stands in the section of a work with `config`.
bool StandsInSection(const TWorkField& field, const TWorkConfig& config);

// True when the field belongs to the editor's target choice `target` (a field of another
// target is neither checked nor kept); fields of every work belong to every choice.
bool BelongsToTarget(const TWorkField& field, int target);

// The field whose check gives the message `key`, or null.
const TWorkField* FieldOfMessage(const std::string& key);

// Where an FTP connection goes, by the one rule of every place that builds FTP settings (the
// editor's save and its folder button, the upload, the folder browser): the server without
// the blanks around it, the port within 1..65535.
struct TFtpAddress {
    std::string Server;
    uint16_t Port = DefaultFtpPort;
};
TFtpAddress FtpAddress(const std::string& server, long long port);

} // namespace kw
