#!/usr/bin/env bash
# Runs all tests of KWPAGE:
#   1. native build with clang under ASan+UBSan: unit tests and short fuzzer runs;
#   2. native build under TSan: the threaded tests;
#   3. win build with mingw-w64: the Windows test programs under Wine inside Xvfb.
# Installs what is missing first and checks that every tool comes from a listed package.
# Ends with "N passed, M failed, K skipped"; exits non-zero when any build or test fails.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tool-path.sh
. "$root/scripts/tool-path.sh"
build=${KW_BUILD_DIR:-$root/build}
jobs=$(nproc)
start=$(date +%s)

"$root/scripts/install-deps.sh" test || { echo "0 passed, 1 failed, 0 skipped"; exit 1; }
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"

status=0
summary=()
passed_total=0
failed_total=0
skipped_total=0

note() { printf '\n=== %s\n' "$*"; }

configure_and_build() {  # dir target cmake-args...
    local dir=$1 target=$2; shift 2
    cmake -S "$root" -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
    cmake --build "$dir" --target "$target" -j "$jobs" 2>&1 | tail -n 40
    return "${PIPESTATUS[0]}"
}

# Adds one ctest run's counts to the totals. Skipped tests count apart, never as passed; a test
# that did not run for any other reason ("Not Run") is already among ctest's failures.
count_ctest() {  # name log
    local name=$1 log=$2 line failed total skipped
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n1)
    if [ -z "$line" ]; then
        summary+=("$name: no tests ran"); failed_total=$((failed_total + 1)); status=1
        return
    fi
    failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    total=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    skipped=$(sed -n '/The following tests did not run:/,/^$/p' "$log" | grep -cE '\((Skipped|Disabled)\)$')
    passed_total=$((passed_total + total - failed - skipped))
    failed_total=$((failed_total + failed))
    skipped_total=$((skipped_total + skipped))
    summary+=("$name: $((total - failed - skipped)) passed, $failed failed, $skipped skipped")
}

run_ctest() {  # name dir ctest-args...
    local name=$1 dir=$2; shift 2
    local log="$dir/ctest.log"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    count_ctest "$name" "$log"
}

stage_start=0
stage() { note "$*"; stage_start=$(date +%s); }
stage_end() { summary+=("  ($1: $(( $(date +%s) - stage_start )) s)"); }

mkdir -p "$build"

stage "native build (clang, ASan+UBSan, fuzzers)"
if configure_and_build "$build/asan" all -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKW_SANITIZE=address -DKW_FUZZ=ON -DKW_TESTS=ON; then
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        run_ctest "native (ASan+UBSan)" "$build/asan"
else
    summary+=("native (ASan+UBSan): BUILD FAILED"); status=1; failed_total=$((failed_total + 1))
fi
stage_end "ASan+UBSan stage"

stage "native build (TSan, threaded tests)"
if configure_and_build "$build/tsan" kw_threaded_tests -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKW_SANITIZE=thread -DKW_TESTS=ON; then
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest "native (TSan)" "$build/tsan" -L threaded
else
    summary+=("native (TSan): BUILD FAILED"); status=1; failed_total=$((failed_total + 1))
fi
stage_end "TSan stage"

stage "win build (mingw-w64) and Windows tests under Wine"
if configure_and_build "$build/win" all -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DKW_TESTS=ON; then
    kw_wine_env "$build/win" || { summary+=("Windows (Wine): the Wine prefix could not be made"); status=1; }
    export KW_WIN_BUILD="$build/win"
    # Wine's server and its session processes start first, reading and writing /dev/null: started
    # by the first test instead, they inherit that test's output pipe, and ctest waits for the
    # pipe to close long after the test has ended. They start on the tests' own X display, since
    # the session keeps the screen it first sees. The programs that drive windows hold the
    # desktop lock (cmake/KwBuild.cmake); the others run beside them.
    xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
        wineserver -p </dev/null >/dev/null 2>&1
        timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1
        ctest --test-dir "$1" --output-on-failure -j "$2"; rc=$?
        timeout 20 wineserver -k 2>/dev/null
        exit $rc' kw-wine-tests "$build/win" "$jobs" 2>&1 \
        | tee "$build/win/ctest.log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    count_ctest "Windows (Wine)" "$build/win/ctest.log"
else
    summary+=("Windows (Wine): BUILD FAILED"); status=1; failed_total=$((failed_total + 1))
fi
stage_end "Wine stage"

note "summary ($(( $(date +%s) - start )) s)"
printf '%s\n' "${summary[@]}"
echo "$passed_total passed, $failed_total failed, $skipped_total skipped"
exit $status
