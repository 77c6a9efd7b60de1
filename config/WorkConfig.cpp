// The editor's one choice of target over the two keys that store it.
#include "config/WorkConfig.h"

namespace kw {

TTargetChoice TargetChoiceOf(const TWorkConfig& config) {
    if (config.Target >= tcHTTP && config.Target < TargetChoiceCount)
        return static_cast<TTargetChoice>(config.Target);
    return config.FTP.Use ? tcFTP : tcFileOnly;
}

void SetTargetChoice(TWorkConfig& config, TTargetChoice choice) {
    config.FTP.Use = choice == tcFTP;
    config.Target = (choice >= tcHTTP && choice < TargetChoiceCount) ? choice : tcFileOnly;
}

} // namespace kw
