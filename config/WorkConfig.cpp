// The editor's one choice of target over the two keys that store it.
#include "config/WorkConfig.h"

namespace kw {

TTargetChoice TargetChoiceOf(const TWorkConfig& config) {
    if (config.Target == tcHTTP || config.Target == tcTCP || config.Target == tcUDP)
        return static_cast<TTargetChoice>(config.Target);
    return config.FTP.Use ? tcFTP : tcFileOnly;
}

void SetTargetChoice(TWorkConfig& config, TTargetChoice choice) {
    config.FTP.Use = choice == tcFTP;
    config.Target = (choice == tcHTTP || choice == tcTCP || choice == tcUDP) ? choice : tcFileOnly;
}

} // namespace kw
