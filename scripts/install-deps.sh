#!/usr/bin/env bash
# Installs what the builds, tests and the demo need on a Debian 12 machine (as root), and
# generates the Russian locale under which Wine runs with code page 1251 and Russian formats.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 xvfb xauth x11-apps imagemagick
    locales python3-pyftpdlib vsftpd curl zip nsis chromium
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages (run as root to install): ${missing[*]}" >&2
        exit 1
    fi
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$'; then
    if [ "$(id -u)" -eq 0 ]; then
        sed -i 's/^# *ru_RU.UTF-8/ru_RU.UTF-8/' /etc/locale.gen
        grep -q '^ru_RU.UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen >/dev/null
    else
        echo "locale ru_RU.UTF-8 is missing (run as root to generate it)" >&2
        exit 1
    fi
fi
