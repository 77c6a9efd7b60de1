# Sourced by the scripts that run Windows programs: a private Wine prefix in the build tree,
# the Russian locale (ANSI code page 1251, Russian regional formats) and no Wine chatter.
kw_wine_env() {
    local build_dir=$1
    export WINEPREFIX="$build_dir/wineprefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree=;mshtml="
    export LC_ALL=ru_RU.UTF-8
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 || true
        # Xvfb has no window manager: let Wine draw frames and captions itself, so windows
        # look as on Windows in screenshots and no message waits on a manager that is not there.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
        wineserver -w 2>/dev/null || true
    fi
}
