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
unset VESKORA_FUZZ_SHARE  # only the emulated run sets it

VK_ROOT=$ROOT
source scripts/emulation.sh
i686_mode=native
suite=""  # the test run going on now
cleanup() {
    [ -z "$suite" ] || kill "$suite" 2>/dev/null || true
    if declare -F vk_session_end >/dev/null; then vk_session_end; fi
    vk_emulation_end
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

start=$(date +%s)
scripts/deps.sh
vk_emulation_sweep
if [ "${VK_EMULATE32:-0}" = 1 ] || ! vk_runs32_natively; then
    i686_mode=emulated
    emulation=0
    vk_emulation_begin || emulation=$?
    case $emulation in
        1) i686_mode=none ;;
        2) i686_mode=broken ;;
    esac
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
    # Waited for in the background: bash runs a trap (an interrupt) only
    # after a command in the foreground ends, but at once during a wait.
    (set -o pipefail; ctest --test-dir "build/$1" --output-on-failure --no-tests=error 2>&1 | tee "$log") &
    suite=$!
    set +e
    wait "$suite"
    rc=$?
    set -e
    suite=""
    line=$(grep -E 'tests passed|tests failed' "$log" | tail -n 1)
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
elif [ $i686_mode = broken ]; then
    summaries+=("i686 (emulated): no test ran: $VK_EMULATION_WHY (see above)")
    status=1
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
