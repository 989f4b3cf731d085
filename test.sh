#!/usr/bin/env bash
# The test command: installs what is missing, builds both targets (x86_64 and
# i686) and runs every test of the x86_64 build under Wine.
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
ctest --test-dir build/x86_64 --output-on-failure || status=$?
test_time=$(elapsed "$test_start")

echo "Times: dependencies $deps_time, build $build_time, tests $test_time (total $(elapsed "$start"))"
exit $status
