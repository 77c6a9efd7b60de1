#!/usr/bin/env bash
# Installs what the demo or the tests need on a Debian 12 machine (as root), generates the
# Russian locale under which Wine runs with code page 1251 and Russian formats, and then checks
# that every command the scripts and tests call is there and comes from a package named below.
#
#   scripts/install-deps.sh demo    what scripts/demo.sh needs
#   scripts/install-deps.sh test    what scripts/test.sh needs (the default)
#   scripts/install-deps.sh --check-only [demo|test]   only the check, installs nothing
#
# The check is what keeps a hand-installed machine from hiding a missing package: a command
# that works here only because someone installed its package by hand fails the check with the
# package's name, on this machine as on any other.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tool-path.sh
. "$here/tool-path.sh"

check_only=0
profile=test
for arg in "$@"; do
    case $arg in
    --check-only) check_only=1 ;;
    demo | test) profile=$arg ;;
    *) echo "install-deps.sh: unknown argument: $arg" >&2; exit 2 ;;
    esac
done

# What the demo installs, and the commands it calls; the tests need all of that and more.
demo_packages=(
    cmake ninja-build g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
    binutils-mingw-w64-x86-64 mingw-w64-tools wine wine64 libwine xvfb imagemagick
    imagemagick-6.q16 locales libc-bin coreutils
)
demo_commands=(
    cmake ninja x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-gcc-posix
    x86_64-w64-mingw32-windres wine wineboot wineserver Xvfb import convert locale-gen iconv
    locale md5sum timeout
)
test_packages=(
    "${demo_packages[@]}" xauth g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev
    python3 python3-minimal python3-pyftpdlib python3-openssl python3-cryptography vsftpd curl
    libcurl4-openssl-dev libssl-dev openssl ca-certificates icecast2 zip nsis chromium
    mosquitto mosquitto-clients
)
# Python modules are named python3:MODULE and looked up with Debian's /usr/bin/python3, which
# the tests use (the python3 first on PATH may be another one).
test_commands=(
    "${demo_commands[@]}" xvfb-run xauth clang clang++ /usr/bin/python3 python3:pyftpdlib python3:OpenSSL
    python3:cryptography
    /usr/sbin/vsftpd curl zip makensis chromium openssl icecast2
    /usr/sbin/mosquitto mosquitto_sub mosquitto_pub mosquitto_passwd
    /usr/include/gtest/gtest.h /usr/include/benchmark/benchmark.h /usr/include/x86_64-linux-gnu/curl/curl.h
    /usr/include/openssl/ssl.h
)

if [ "$profile" = demo ]; then
    packages=("${demo_packages[@]}"); commands=("${demo_commands[@]}")
else
    packages=("${test_packages[@]}"); commands=("${test_commands[@]}")
fi

install_missing() {
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages (run as root to install): ${missing[*]}" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

make_locale() {
    locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$' && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "locale ru_RU.UTF-8 is missing (run as root to generate it)" >&2
        return 1
    fi
    [ -f /etc/locale.gen ] && sed -i 's/^# *ru_RU.UTF-8/ru_RU.UTF-8/' /etc/locale.gen
    grep -qs '^ru_RU.UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
}

# Every file on the way from PATH's entry to the real file, one a line.
link_chain() {
    local f=$1 next n=0
    while :; do
        echo "$f"
        [ -L "$f" ] && [ $n -lt 10 ] || break
        next=$(readlink "$f")
        [[ $next == /* ]] || next=$(dirname "$f")/$next
        f=$next; n=$((n + 1))
    done
    readlink -f "$1"
}

owners_of() {  # file... -> the packages owning them
    local f
    for f in "$@"; do
        dpkg-query -S "$f" 2>/dev/null | sed -E 's/: .*//; s/, /\n/g; s/:[a-z0-9]+$//'
    done | sort -u
}

check_one() {  # command-or-python3:module
    local thing=$1 file owners o
    if [[ $thing == python3:* ]]; then
        local module=${thing#python3:}
        file=$(/usr/bin/python3 -c "import $module as m; print(m.__file__)" 2>/dev/null) ||
            { echo "Python module $module is missing (for /usr/bin/python3)"; return 1; }
        owners=$(owners_of "$file")
        thing="Python module $module"
    elif [[ $thing == /*.h ]]; then  # a library's header, for what is built against it
        [ -f "$thing" ] || { echo "header $thing is missing"; return 1; }
        owners=$(owners_of "$thing")
    else
        file=$(command -v "$thing" 2>/dev/null) || { echo "command $thing is missing"; return 1; }
        # shellcheck disable=SC2046
        owners=$(owners_of $(link_chain "$file" | sort -u))
    fi
    for o in $owners; do
        [[ " ${packages[*]} " == *" $o "* ]] && return 0
    done
    if [ -z "$owners" ]; then
        echo "$thing ($file) comes from no package; scripts/install-deps.sh installs every tool it uses"
    else
        echo "$thing comes from package $(tr '\n' ' ' <<<"$owners" | sed 's/ $//'), which scripts/install-deps.sh does not install"
    fi
    return 1
}

check_commands() {
    local t bad=0
    for t in "${commands[@]}"; do
        check_one "$t" >&2 || bad=1
    done
    if [ $bad -ne 0 ]; then
        echo "install-deps.sh: the tools above are not what the $profile needs (see the list in scripts/install-deps.sh)" >&2
        return 1
    fi
    locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$' || { echo "locale ru_RU.UTF-8 is missing" >&2; return 1; }
}

if [ $check_only -eq 0 ]; then
    install_missing
    make_locale
fi
check_commands
