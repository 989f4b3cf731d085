#!/usr/bin/env bash
# The test command: installs what is missing, builds both targets (x86_64 and
# i686) and runs every test of both builds under Wine, the 32-bit release
# build first. Prints one summary line per build; fails when either fails.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$ROOT"

elapsed() { echo $(( $(date +%s) - $1 ))s; }

start=$(date +%s)
scripts/deps.sh
deps_time=$(elapsed "$start")

build_start=$(date +%s)
scripts/build.sh x86_64 i686
build_time=$(elapsed "$build_start")

test_start=$(date +%s)
source scripts/session.sh
vk_session_begin
trap vk_session_end EXIT

status=0
summaries=()
run_suite() { # arch
    local log rc line
    log=$(mktemp)
    set +e
    ctest --test-dir "build/$1" --output-on-failure --no-tests=error 2>&1 | tee "$log"
    rc=${PIPESTATUS[0]}
    line=$(grep -E 'tests passed|tests failed' "$log" | tail -n 1)
    set -e
    rm -f "$log"
    if [ -z "$line" ]; then
        line="no test ran"
        rc=1
    fi
    summaries+=("$1: $line")
    [ "$rc" -eq 0 ] || status=1
}

run32=0
vk_run32_status || run32=$?
case $run32 in
    0) run_suite i686 ;;
    1) summaries+=("i686 tests skipped: this machine cannot run 32-bit programs") ;;
    *) summaries+=("i686: the 32-bit build cannot run under Wine here (see above)"); status=1 ;;
esac
run_suite x86_64
test_time=$(elapsed "$test_start")

echo
printf '%s\n' "${summaries[@]}"
echo "Times: dependencies $deps_time, build $build_time, tests $test_time (total $(elapsed "$start"))"
exit $status
