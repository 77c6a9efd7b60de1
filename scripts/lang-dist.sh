#!/usr/bin/env bash
# Builds the shipped language files dist/KWPAGE.<Language>.lng (Windows-1251, CR LF) from their
# UTF-8 sources lang/texts/KWPAGE.<Language>.lng.txt. Run after editing a source; the result is
# committed. Fails on a character that Windows-1251 cannot hold.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
for src in "$root"/lang/texts/KWPAGE.*.lng.txt; do
    out="$root/dist/$(basename "$src" .txt)"
    sed 's/\r$//; s/$/\r/' "$src" | iconv -f UTF-8 -t WINDOWS-1251 > "$out.tmp"
    mv "$out.tmp" "$out"
    echo "$out"
done
