// The keys of the main window, the work editor, the settings dialog, the preview, the tag list,
// the FTP folder browser and the constants.
//
// The main window's own "Caption" is deliberately not asked for: the window shows its design
// caption with the program's version, and a "Caption" key would replace both.
#include "lang/RequiredKeys.h"

namespace kw::lang {

namespace {
void Add(std::vector<TRequiredKey>& keys, const std::string& section, std::initializer_list<const char*> names) {
    for (const char* name : names)
        keys.push_back({section, name});
}

std::vector<TRequiredKey> BuildKeys() {
    std::vector<TRequiredKey> keys;
    Add(keys, "Main",
        {"SBAdd", "SBAdd.Hint", "SBEdit", "SBEdit.Hint", "SBDelete", "SBDelete.Hint", "SBPid.Hint", "SGWork.1.1",
         "SGWork.2.1", "SGWork.3.1", "SGLog.1.1", "SGLog.2.1", "SBSendNow", "SBSendNow.Hint", "MISendNow"});
    Add(keys, "FEditWork",
        {"Caption", "LName", "LShape", "LFileOut", "LUpdate", "GBFTP", "LServer", "LPort",
         "CBFTPPassive", "CBFTPUTF8", "LUser", "LPass", "CBShowPass", "LFolder", "SBSelectDir.Hint", "LFTPFile",
         "LCodepage", "SBSave", "SBCancel", "LEscaping", "CBEscaping.None", "CBCodePage.Latin", "SBPreview", "SBPreview.Hint", "SBTags",
         "SBTags.Hint"});
    Add(keys, "FEditWork",
        {"LTarget", "CBTarget.FileOnly", "GBHTTP", "LHTTPMethod", "LHTTPURL", "LHTTPUser", "LHTTPPass", "LHTTPType",
         "LHTTPCert", "GBText", "LTextHost", "LTextPort"});
    Add(keys, "FEditWork", {"CBFTPTLS", "LFTPCert", "EFTPCert.Hint"});
    Add(keys, "FEditWork",
        {"GBMQTT", "LMQTTHost", "LMQTTPort", "EMQTTPort.Hint", "CBMQTTTLS", "LMQTTCert", "EMQTTCert.Hint",
         "LMQTTClientId", "EMQTTClientId.Hint", "LMQTTUser", "LMQTTPass", "LMQTTTopic", "EMQTTTopic.Hint", "LMQTTQoS",
         "CBMQTTRetain", "LMQTTStatusTopic", "EMQTTStatusTopic.Hint", "CBMQTTNowPlaying", "CBMQTTNowPlaying.Hint"});
    Add(keys, "FEditWork",
        {"GBPublish", "LTrigger", "CBTrigger.Every", "CBTrigger.Songs", "CBTrigger.Letters", "CBTrigger.Hint",
         "LTriggerLetters", "ETriggerLetters.Hint", "CBTriggerBlock", "CBTriggerBlock.Hint", "LDelay", "EDelay.Hint",
         "CBOnlyChanged", "CBOnlyChanged.Hint", "LRefreshMinutes", "ERefreshMinutes.Hint"});
    Add(keys, "FPreview",
        {"Caption", "LProblems", "SBOpenBrowser", "SBClose", "Dialog.LiveEmpty", "Dialog.NoProblems", "Dialog.PageNotWritten"});
    for (const TPreviewMessage& m : PreviewMessages())
        keys.push_back({"FPreview", "Dialog." + m.Name});
    Add(keys, "FTagList",
        {"Caption", "LSearch", "LVTags.1", "LVTags.2", "LVTags.3", "SBCopy", "SBCopy.Hint", "SBClose"});
    Add(keys, "FChangePID", {"Caption", "LLanguage", "LSetPID", "CBAutoStart", "CBTray", "SBSave"});
    Add(keys, "FChangePID",
        {"GBLive", "CBLiveServer", "CBLiveServer.Hint", "LLivePort", "ELivePort.Hint", "CBLiveOther",
         "CBLiveOther.Hint", "LLiveKey", "ELiveKey.Hint", "SBNewKey", "SBNewKey.Hint"});
    Add(keys, "FEditWork",
        {"GBLive", "CBServeLive", "CBServeLive.Hint", "SBCopyLive", "SBCopyLive.Hint", "ELiveAddress.Hint",
         "ELiveAddress.Off", "ELiveAddress.New"});
    Add(keys, "FSelectFTPDir",
        {"Caption", "LCurrentFolder", "SGFiles.1.1", "SGFiles.2.1", "SGFiles.3.1", "SBSave", "SBCancel",
         "Dialog.NotOpened"});
    Add(keys, "Constants",
        {"Language", "Locale", "Dialog.Warning", "Dialog.Error", "Dialog.Information", "Dialog.Confirm",
         "Dialog.Custom", "Button.OK", "Button.Cancel", "Button.Yes", "Button.No", "Button.Help", "Button.Ignore",
         "Button.Retry", "Button.All", "Button.YesToAll", "Button.NoToAll"});
    for (const char* name : {"Run", "Bye", "Source", "Wait", "Connected", "NoFileIn", "ExceptSH", "ExceptOP",
                             "ExceptRD", "ExceptWR"})
        keys.push_back({"Main", std::string("Dialog.") + name});
    for (const TDialogMessage& m : DialogMessages())
        keys.push_back({m.Section, "Dialog." + m.Name});
    for (const TLogMessage& m : LogMessages())
        keys.push_back({"Main", "Dialog." + m.Name});
    return keys;
}
} // namespace

const std::vector<TDialogMessage>& DialogMessages() {
    static const std::vector<TDialogMessage> messages = {
        {"Main", "Exit", 0},          {"FEditWork", "SetShape", 0},   {"FEditWork", "SetFileIn", 0},
        {"FEditWork", "FileInNotEx", 0}, {"FEditWork", "SetFileOut", 0}, {"FEditWork", "SetInOutErr", 0},
        {"FEditWork", "SetFTPServ", 0}, {"FEditWork", "SetFTPUser", 0}, {"FEditWork", "SetFTPPass", 0},
        {"FEditWork", "DblShape", 0},   {"FEditWork", "OtherOut", 1},   {"FEditWork", "DblOut", 1},
        {"FEditWork", "WorkLimit", 0},  {"FEditWork", "BadFileName", 1}, {"FEditWork", "SettingsNotWritten", 1},
        {"Main", "SettingsNotWritten", 1}, {"Main", "SendNowRunning", 1}, {"Main", "DeleteWork", 1},
        {"FEditWork", "NoHTTPURL", 0},  {"FEditWork", "BadCertSHA256", 0}, {"FEditWork", "NoTextHost", 0},
        {"FEditWork", "BadTextPort", 0}, {"FEditWork", "BadFTPCert", 0}, {"FEditWork", "BadHTTPType", 0},
        {"FEditWork", "BadTriggerLetters", 0}, {"FEditWork", "NoMQTTHost", 0}, {"FEditWork", "BadMQTTPort", 0},
        {"FEditWork", "BadMQTTCert", 0}, {"FEditWork", "BadMQTTClientId", 0}, {"FEditWork", "BadMQTTTopic", 0},
        {"FEditWork", "BadMQTTStatusTopic", 0}, {"FChangePID", "BadLivePort", 0}};
    return messages;
}

const std::vector<TLogMessage>& LogMessages() {
    // The work that was not loaded (its section name and the limit), then the failures of the
    // deliveries and their causes, each with its number of string arguments.
    static const std::vector<TLogMessage> messages = {
        {"WorkNotLoaded", 2},
        {"Seconds", 1}, {"Milliseconds", 1}, {"OutOfMemory", 0}, {"TimedOut", 0}, {"ConnectTimedOut", 0},
        {"ServerClosed", 0}, {"InvalidFileName", 1}, {"TemplateTooLarge", 1}, {"CannotOpenFile", 2},
        {"CannotReadFile", 2}, {"LookupFailed", 1}, {"SocketError", 1}, {"SystemError", 1}, {"BadFingerprint", 0},
        {"CertificateRefused", 1}, {"CertificateNotPinned", 0}, {"CertificateNotTrusted", 0},
        {"CertificateFingerprint", 2}, {"TlsClosedInHandshake", 0}, {"TlsNoCertificate", 0}, {"TlsTooOld", 1},
        {"TlsVersionUnknown", 0}, {"TlsHandshakeTimedOut", 1}, {"FtpUploadTooLong", 1}, {"FtpExchangeTooLong", 1},
        {"FtpNoTls", 1}, {"FtpBeforeHandshake", 0}, {"FtpDataTlsTimedOut", 1}, {"FtpDataConnection", 1},
        {"FtpNotConnected", 0}, {"FtpLineBreakInName", 0}, {"FtpCommandTimedOut", 1}, {"FtpReplyTimedOut", 1},
        {"FtpNoCurrentFolder", 1}, {"FtpBadPasv", 1}, {"FtpTransferAborted", 1}, {"FtpPassiveTimedOut", 2},
        {"FtpPassiveFailed", 2}, {"FtpActiveTimedOut", 1}, {"FtpSendStalled", 1}, {"FtpReceiveStalled", 1},
        {"FtpDataFailed", 1}, {"FtpListingTooLarge", 1}, {"FtpReplyLineTooLong", 0}, {"FtpMalformedReply", 1},
        {"FtpReplyTooManyLines", 0}, {"UploadFailed", 0}, {"FtpError", 0}, {"PeerFailure", 2}, {"PeerClosed", 0},
        {"NoTextAddress", 0}, {"PeerTookNoData", 0}, {"LookupTimedOut", 0}, {"SendTimedOut", 0},
        {"DatagramTooLong", 3}, {"SendingFailed", 0}, {"HttpNoAnswerWithin", 1}, {"HttpNoAnswer", 0},
        {"HttpBadContentType", 0}, {"HttpBadAddress", 0}, {"HttpNoStatusLine", 0}, {"HttpTooManyRedirects", 1},
        {"HttpRedirectNotHttp", 1}, {"HttpRedirectLeavesHttps", 2}, {"HttpFailed", 0}, {"HttpTagInOrigin", 0},
        {"MqttWaiting", 1}, {"MqttWaitingBecause", 1}, {"MqttRefusedVersion", 0}, {"MqttRefusedClientId", 0},
        {"MqttRefusedUnavailable", 0}, {"MqttRefusedLogin", 0}, {"MqttRefusedNotAuthorized", 0},
        {"MqttRefusedCode", 1}, {"MqttNoConnAck", 1}, {"MqttNoPubAck", 1}, {"MqttNoPingResp", 1},
        {"MqttBadPacket", 1}, {"MqttUnexpectedPacket", 1}, {"MqttPageTooLarge", 1}, {"MqttNoTopic", 0},
        {"MqttFieldTooLong", 0}, {"NoNowPlaying", 0},
        {"LiveServerStarted", 1}, {"LiveServerFailed", 2}, {"LiveBadRequest", 2}};
    return messages;
}

const std::vector<TPreviewMessage>& PreviewMessages() {
    static const std::vector<TPreviewMessage> messages = {{"UnknownTag"}, {"MissingDigit"}};
    return messages;
}

const std::vector<TRequiredKey>& RequiredKeys() {
    static const std::vector<TRequiredKey> keys = BuildKeys();
    return keys;
}

} // namespace kw::lang
