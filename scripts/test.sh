#!/usr/bin/env bash
# Runs all tests of KWPAGE:
#   1. native build with clang under ASan+UBSan: unit tests and short fuzzer runs;
#   2. native build under TSan: the threaded tests;
#   3. win build with mingw-w64: the Windows test programs under Wine inside Xvfb.
# Installs what is missing first. Exits non-zero when any build or test fails.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KW_BUILD_DIR:-$root/build}
jobs=$(nproc)
start=$(date +%s)

"$root/scripts/install-deps.sh" || exit 1
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"

status=0
summary=()
passed_total=0
failed_total=0

note() { printf '\n=== %s\n' "$*"; }

configure_and_build() {  # dir target cmake-args...
    local dir=$1 target=$2; shift 2
    cmake -S "$root" -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
    cmake --build "$dir" --target "$target" -j "$jobs" 2>&1 | tail -n 40
    return "${PIPESTATUS[0]}"
}

run_ctest() {  # name dir ctest-args...
    local name=$1 dir=$2; shift 2
    local log="$dir/ctest.log"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    local line
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n1)
    if [ -n "$line" ]; then
        local failed total
        failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
        total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
        passed_total=$((passed_total + total - failed))
        failed_total=$((failed_total + failed))
        summary+=("$name: $((total - failed)) passed, $failed failed")
    else
        summary+=("$name: no tests ran")
    fi
    [ "$rc" -eq 0 ] || status=1
}

mkdir -p "$build"

note "native build (clang, ASan+UBSan, fuzzers)"
if configure_and_build "$build/asan" all -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKW_SANITIZE=address -DKW_FUZZ=ON; then
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_ctest "native (ASan+UBSan)" "$build/asan"
else
    summary+=("native (ASan+UBSan): BUILD FAILED"); status=1
fi

note "native build (TSan, threaded tests)"
if configure_and_build "$build/tsan" kw_threaded_tests -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKW_SANITIZE=thread; then
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest "native (TSan)" "$build/tsan" -L threaded
else
    summary+=("native (TSan): BUILD FAILED"); status=1
fi

note "win build (mingw-w64) and Windows tests under Wine"
if configure_and_build "$build/win" all -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"; then
    kw_wine_env "$build/win"
    export KW_WIN_BUILD="$build/win"
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "$(declare -f run_ctest); \
        passed_total=0; failed_total=0; summary=(); status=0; \
        run_ctest 'Windows (Wine)' '$build/win' -j 1; \
        printf '%s\n' \"\${summary[@]}\" > '$build/win/summary.txt'; exit \$status" || status=1
    wineserver -k 2>/dev/null || true
    if [ -f "$build/win/summary.txt" ]; then
        line=$(cat "$build/win/summary.txt")
        summary+=("$line")
        p=$(sed -E 's/.*: ([0-9]+) passed.*/\1/' <<<"$line"); f=$(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")
        [[ "$p" =~ ^[0-9]+$ ]] && passed_total=$((passed_total + p))
        [[ "$f" =~ ^[0-9]+$ ]] && failed_total=$((failed_total + f))
    fi
else
    summary+=("Windows (Wine): BUILD FAILED"); status=1
fi

note "summary ($(( $(date +%s) - start )) s)"
printf '%s\n' "${summary[@]}"
echo "$passed_total passed, $failed_total failed"
exit $status
