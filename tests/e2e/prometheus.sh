#!/usr/bin/env bash
# From outside, as a user's Prometheus sees the monitor: veskora.exe with the
# endpoint on loopback (and a token) over a known block of the substitute
# driver, scraped by a real Prometheus server on a port of its own; curl
# checks the answers, their headers and the limits; promtool checks
# /metrics and the file; a thousand connections in bursts with twenty held
# open leave the monitor reading and the endpoint answering.
# Usage: prometheus.sh BIN_DIR   (run by CTest inside the test session)
set -euo pipefail
BIN=$(cd "$1" && pwd)
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/env.sh"

WORK=$(mktemp -d)
# No curl waits for ever: an answer that never comes fails its check.
export CURL_HOME=$WORK
printf 'max-time = 20\n' >"$WORK/.curlrc"
TOKEN=e2e-$RANDOM$RANDOM
# The README's block: CPU 45 C, PWR 38 C, SYS without a value.
BLOCK=a5009600000064007800ab000000d000be002d002600ff00e803ff0f0000d007ff0080007f008100
PARAMS='HKLM\System\CurrentControlSet\Services\veskora\Parameters'
monitor="" server=""
failures=0

fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
check() { # description, command...
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else fail "$what"; fi
}
# What was going on, for a run that failed or stopped early.
report() {
    echo "Prometheus said:" >&2
    tail -n 20 "$WORK/prometheus.log" >&2 2>/dev/null || true
    echo "the monitor said:" >&2
    tail -n 40 "$WORK/monitor.log" >&2 2>/dev/null || true
    # A listener with a full queue was not accepting; an accepted connection
    # with unread bytes was not being served.
    echo "connections of port ${PORT:-}:" >&2
    ss -tanp "( sport = :${PORT:-0} or dport = :${PORT:-0} )" >&2 2>/dev/null || true
    echo "Wine's processes:" >&2
    ps -eo pid,stat,etime,args | grep -iE 'wine|\.exe' | grep -v grep >&2 || true
}
cleanup() {
    local status=$?
    [ "$status" -eq 0 ] || report
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    [ -z "$monitor" ] || kill "$monitor" 2>/dev/null || true
    wait 2>/dev/null || true
    "$VK_WINE" reg delete "$PARAMS" /v Block /f >/dev/null 2>&1 || true
    rm -rf "$WORK"
}
trap cleanup EXIT

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
free_port() { # from a start, the first port nothing listens on
    local p=$1
    while listening "$p"; do p=$((p + 1)); done
    echo "$p"
}
winpath() { echo "Z:${1//\//\\}"; }

PORT=$(free_port $((20000 + $$ % 10000)))
PROM_PORT=$(free_port $((PORT + 1)))
BASE=http://127.0.0.1:$PORT
AUTH="Authorization: Bearer $TOKEN"

printf '[Global]\r\nTimer=1\r\n' >"$WORK/e2e.vkt"
printf '[Config]\r\nFileName=%s\r\n[Export]\r\nHttp=1\r\nPort=%s\r\nToken=%s\r\nPromFile=%s\r\n' \
    "$(winpath "$WORK/e2e.vkt")" "$PORT" "$TOKEN" "$(winpath "$WORK/veskora.prom")" >"$WORK/e2e.vkc"
"$VK_WINE" reg add "$PARAMS" /v Block /t REG_BINARY /d "$BLOCK" /f >/dev/null 2>&1

(cd "$BIN" && exec "$VK_WINE" veskora.exe "$(winpath "$WORK/e2e.vkc")" >"$WORK/monitor.log" 2>&1) &
monitor=$!
for _ in $(seq 240); do listening "$PORT" && break; sleep 0.5; done
listening "$PORT" || { echo "the monitor never listened on $PORT" >&2; exit 1; }
sleep 2  # a reading or two

status() { curl -s -o /dev/null -w '%{http_code}' "$@"; }
head_of() { curl -s -D - -o /dev/null "$@"; }
raw() { # bytes to send; prints the first line of the answer
    exec 3<>"/dev/tcp/127.0.0.1/$PORT"
    printf '%b' "$1" >&3
    timeout 20 head -n 1 <&3 | tr -d '\r'
    exec 3<&-
}

# Statuses.
check "GET /metrics with the token: 200" test "$(status -H "$AUTH" "$BASE/metrics")" = 200
check "GET /data.json with the token: 200" test "$(status -H "$AUTH" "$BASE/data.json")" = 200
check "HEAD /metrics: 200" test "$(status -I -H "$AUTH" "$BASE/metrics")" = 200
check "no token: 401" test "$(status "$BASE/metrics")" = 401
check "a wrong token: 401" test "$(status -H "Authorization: Bearer x$TOKEN" "$BASE/metrics")" = 401
check "another path: 404" test "$(status -H "$AUTH" "$BASE/metrics/../admin")" = 404
check "POST: 405" test "$(status -X POST -d x=1 -H "$AUTH" "$BASE/metrics")" = 405
check "OPTIONS (a browser's preflight): 405" test "$(status -X OPTIONS -H 'Origin: http://evil.example' -H "$AUTH" "$BASE/metrics")" = 405
check "a head over 8 KB: 431" test "$(status -H "X-Big: $(head -c 9000 /dev/zero | tr '\0' a)" -H "$AUTH" "$BASE/metrics")" = 431
check "a malformed request line: 400" test "$(raw 'GET\r\n\r\n')" = "HTTP/1.1 400 Bad Request"
# The rest asks an endpoint that answers.
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed: the endpoint does not answer as it should" >&2; exit 1; }

# Headers.
h=$(head_of -H "$AUTH" -H 'Origin: http://evil.example' "$BASE/metrics" | tr -d '\r')
check "exposition content type" grep -q '^Content-Type: text/plain; version=0.0.4' <<<"$h"
check "Connection: close" grep -q '^Connection: close$' <<<"$h"
check "no CORS, cookie or redirect" bash -c '! grep -qiE "^(Access-Control|Set-Cookie|Location)" <<<"$1"' _ "$h"
j=$(head_of -H "$AUTH" "$BASE/data.json" | tr -d '\r')
check "JSON content type" grep -q '^Content-Type: application/json' <<<"$j"
answers=$(curl -s -i "$BASE/metrics"; curl -s -i -H "$AUTH" "$BASE/metrics"; curl -s -i -H "$AUTH" "$BASE/data.json"; curl -s -i -H "$AUTH" "$BASE/nothing")
check "the token in no answer" bash -c '! grep -qF "$1" <<<"$2"' _ "$TOKEN" "$answers"
check "the token in no debugger line" bash -c '! grep -qF "$1" "$2"' _ "$TOKEN" "$WORK/monitor.log"

# A client that says nothing is dropped after two seconds.
started=$(date +%s%N)
exec 3<>"/dev/tcp/127.0.0.1/$PORT"
timeout 10 cat <&3 >/dev/null || true
exec 3<&-
ms=$(( ($(date +%s%N) - started) / 1000000 ))
check "a silent client dropped after 2 s (took ${ms} ms)" test "$ms" -ge 1500 -a "$ms" -le 5000

# A client that never stops sending keeps nobody else waiting.
timeout 4 bash -c "exec 3<>/dev/tcp/127.0.0.1/$PORT && cat /dev/zero >&3" 2>/dev/null &
sleep 0.5
check "an answer while a client sends without end" test "$(status -m 3 -H "$AUTH" "$BASE/metrics")" = 200
wait $! 2>/dev/null || true

# The formats, by Prometheus's own tool.
curl -s -H "$AUTH" "$BASE/metrics" >"$WORK/metrics.txt"
check "promtool accepts /metrics" promtool check metrics <"$WORK/metrics.txt"
check "promtool accepts the file" promtool check metrics <"$WORK/veskora.prom"
check "the CPU temperature in /metrics" grep -q '^veskora_temperature_celsius{label="CPU",input="temp0"} 45$' "$WORK/metrics.txt"
check "no sample for a row without a value" bash -c '! grep -q "^veskora_temperature_celsius{.*temp2" "$1"' _ "$WORK/metrics.txt"

# A thousand connections in bursts of fifty, twenty held open without a word.
readings() { curl -s -H "$AUTH" "$BASE/metrics" | awk '$1 == "veskora_readings_total" {print $2}'; }
before=$(readings)
t0=$(date +%s)
for fd in $(seq 20 39); do eval "exec $fd<>/dev/tcp/127.0.0.1/$PORT"; done
for burst in $(seq 20); do
    for i in $(seq 50); do
        ( exec 3<>"/dev/tcp/127.0.0.1/$PORT" && printf 'GET /metrics HTTP/1.0\r\n' >&3 && exec 3<&- ) 2>/dev/null &
    done
    burst_jobs=$(jobs -p | grep -vx "$monitor" || true)
    [ -z "$burst_jobs" ] || wait $burst_jobs 2>/dev/null || true
done
for fd in $(seq 20 39); do eval "exec $fd<&-"; done
sleep 3
after=$(readings)
elapsed=$(( $(date +%s) - t0 ))
check "the endpoint answers after the flood" test "$(status -H "$AUTH" "$BASE/metrics")" = 200
check "the monitor kept reading ($before -> $after in ${elapsed} s)" test "$(( after - before ))" -ge $(( elapsed / 2 ))

# A real Prometheus server scrapes it and answers a query.
cat >"$WORK/prometheus.yml" <<EOS
global:
  scrape_interval: 1s
  scrape_timeout: 1s
scrape_configs:
  - job_name: veskora
    authorization:
      type: Bearer
      credentials: $TOKEN
    static_configs:
      - targets: ['127.0.0.1:$PORT']
EOS
prometheus --config.file="$WORK/prometheus.yml" --storage.tsdb.path="$WORK/tsdb" \
    --web.listen-address="127.0.0.1:$PROM_PORT" >"$WORK/prometheus.log" 2>&1 &
server=$!
query='veskora_temperature_celsius{input="temp0"}'
answer=""
for _ in $(seq 60); do
    sleep 1
    answer=$(curl -s -G "http://127.0.0.1:$PROM_PORT/api/v1/query" --data-urlencode "query=$query" || true)
    grep -q '"value":\[[0-9.]*,"45"\]' <<<"$answer" && break
done
check "Prometheus holds the CPU temperature of the block" grep -q '"value":\[[0-9.]*,"45"\]' <<<"$answer"
up=$(curl -s -G "http://127.0.0.1:$PROM_PORT/api/v1/query" --data-urlencode 'query=up{job="veskora"}')
check "its target is up" grep -q '"value":\[[0-9.]*,"1"\]' <<<"$up"

# Not a check: what one scrape costs, for the record (from an endpoint that
# answers).
if [ "$failures" -eq 0 ]; then
    times=$(for _ in $(seq 100); do curl -s -o /dev/null -w '%{time_total}\n' -H "$AUTH" "$BASE/metrics"; done | sort -n)
    echo "one scrape answered in $(sed -n 50p <<<"$times") s (median), $(sed -n 99p <<<"$times") s (99th percentile)"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
