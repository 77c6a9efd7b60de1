#!/bin/sh
# Soak of KWPAGE.exe under Wine (tests/e2e/soak.py): a fast host and 20 works for N minutes,
# with bounds on the growth of handles, threads and memory, CPU figures, and every page checked
# at the end. Needs a win build (KWPAGE, hostplayer, e2e_process_probe).
#   scripts/soak.sh [--build-dir DIR] [--minutes N] [--work DIR]   (defaults: build/win, 30, DIR/soak)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win minutes=30 work=
while [ $# -gt 0 ]; do
    case $1 in
    --build-dir) build=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "usage: soak.sh [--build-dir DIR] [--minutes N] [--work DIR]" >&2; exit 2 ;;
    esac
done
build=$(cd "$build" && pwd)
[ -n "$work" ] || work=$build/soak
. "$root/scripts/wine-env.sh"
kw_wine_env "$build"
set -- /usr/bin/python3 "$root/tests/e2e/soak.py" --build-dir "$build" --minutes "$minutes" --work "$work"
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$@"
fi
exec "$@"
