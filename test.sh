#!/usr/bin/env bash
# The test command: installs what is missing, builds both targets (x86_64 and
# i686) and runs every test of both builds under Wine, the 32-bit release
# build first. Where this machine does not run 32-bit programs natively, the
# i686 suites run under emulation (scripts/emulation.sh) for the time of the
# run; VK_EMULATE32=1 asks for that on any machine. Prints one summary line
# per build, naming an emulated one; fails when either fails.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$ROOT"

# Under emulation the hostile-input suite takes this share of its inputs
# (one in so many), the same inputs every time.
EMULATED_FUZZ_SHARE=4

elapsed() { echo $(( $(date +%s) - $1 ))s; }

VK_ROOT=$ROOT
source scripts/emulation.sh
i686_mode=native
cleanup() {
    if declare -F vk_session_end >/dev/null; then vk_session_end; fi
    vk_emulation_end
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

start=$(date +%s)
scripts/deps.sh
if [ "${VK_EMULATE32:-0}" = 1 ] || ! vk_runs32_natively; then
    i686_mode=emulated
    vk_emulation_begin || i686_mode=none
fi
deps_time=$(elapsed "$start")

build_start=$(date +%s)
scripts/build.sh x86_64 i686
build_time=$(elapsed "$build_start")

test_start=$(date +%s)
source scripts/session.sh
vk_session_begin

status=0
summaries=()
run_suite() { # build directory, label
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
    summaries+=("$2: $line")
    [ "$rc" -eq 0 ] || status=1
}

if [ $i686_mode = none ]; then
    summaries+=("i686 tests skipped: this machine cannot run 32-bit programs, natively or under emulation ($VK_EMULATION_WHY)")
else
    run32=0
    vk_run32_status || run32=$?
    label=i686
    [ $i686_mode = native ] || label="i686 (emulated)"
    if [ $run32 -eq 0 ]; then
        if [ $i686_mode = emulated ]; then
            VESKORA_FUZZ_SHARE=$EMULATED_FUZZ_SHARE run_suite i686 "$label"
        else
            run_suite i686 "$label"
        fi
    else
        summaries+=("$label: the 32-bit build cannot run under Wine here (see above)")
        status=1
    fi
fi
run_suite x86_64 x86_64
test_time=$(elapsed "$test_start")

echo
printf '%s\n' "${summaries[@]}"
echo "Times: dependencies $deps_time, build $build_time, tests $test_time (total $(elapsed "$start"))"
exit $status
