# Sourced by the scripts that run Windows programs: a private Wine prefix in the build tree,
# the Russian locale (ANSI code page 1251, Russian regional formats) and no Wine chatter.
# kw_wine_env fails when the prefix cannot be made: a Windows test without Wine must fail,
# not skip.
kw_wine_env() {
    local build_dir=$1
    export WINEPREFIX="$build_dir/wineprefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree=;mshtml="
    if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$'; then
        echo "kw_wine_env: the locale ru_RU.UTF-8 is missing (scripts/install-deps.sh makes it)" >&2
        return 1
    fi
    # A shell that started before install-deps.sh made the locale cannot switch to it itself
    # (the C library remembers that its locale archive was missing) and says so; the programs
    # it starts from here on read the archive afresh and get the locale.
    { export LC_ALL=ru_RU.UTF-8; } 2>/dev/null
    mkdir -p "$WINEPREFIX"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        local log="$build_dir/wineboot.log"
        timeout 300 wineboot -i >"$log" 2>&1
        # Xvfb has no window manager: let Wine draw frames and captions itself, so windows
        # look as on Windows in screenshots and no message waits on a manager that is not there.
        timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1
        timeout 60 wineserver -w 2>/dev/null
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "kw_wine_env: Wine could not make its prefix in $WINEPREFIX:" >&2
            tail -n 20 "$log" >&2
            return 1
        fi
    fi
}
