// The program entry of KWPAGE.exe. No command-line options; no check for a second copy.
#include "shell/win32/Application_win32.h"
#include <exception>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    try {
        kw::TApplication application;
        return application.Run(showCommand);
    } catch (...) {
        // Start-up itself failed (out of memory, no window): the handlers catch everything
        // after it. End with a code the station's tools can see.
        return 3;
    }
}
