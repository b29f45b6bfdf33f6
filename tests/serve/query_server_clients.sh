#!/usr/bin/env bash
# Runs the example query server on a free port and talks to it over loopback
# with real clients: curl checks every reply kind byte for byte (status line,
# header, body) and the reuse of kept-alive connections; ab makes a bounded
# load run, kept-alive and with one connection per request, which must end
# without a single failed request.
#   query_server_clients.sh path/to/query_server
set -euo pipefail

server="$1"
work="$(mktemp -d)"
pid=""
cleanup() {
    if [[ -n "$pid" ]]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

port="$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
mkfifo "$work/out"
"$server" "$port" >"$work/out" &
pid=$!
exec 3<"$work/out"
read -r -t 10 -u 3 ready || fail "query_server did not start"
[[ "$ready" == "listening on port $port" ]] || fail "query_server said: $ready"

base="http://127.0.0.1:$port"
header() {
    printf 'HTTP/1.1 %s\r\nContent-Type: %s\r\nConnection: Keep-Alive\r\nKeep-Alive: timeout=60\r\nContent-Length: %s\r\n\r\n' "$@"
}

# expect NAME EXPECTED-FILE CURL-ARGS...: the reply curl received, header and
# body as they came, must equal the file.
expect() {
    local name="$1" expected="$2"
    shift 2
    curl -s -g -i --raw "$@" >"$work/$name.got" || fail "$name: curl exited with $?"
    if ! cmp -s "$expected" "$work/$name.got"; then
        echo "expected:" >&2
        od -c "$expected" >&2
        echo "received:" >&2
        od -c "$work/$name.got" >&2
        fail "$name: reply differs"
    fi
    echo "ok: $name"
}

# server_accept starts listening just after the ready line: the first
# request may be refused once.
header "204 No Content" text/plain 0 >"$work/204"
expect no-query "$work/204" --retry 3 --retry-connrefused "$base/status"

body='{"a":"1","b":"x y!","o":{"n":1},"k%22":"\"<"}'
{ header "200 OK" application/json "${#body}"; printf '%s' "$body"; } >"$work/200"
expect query "$work/200" "$base/q?a=1&b=x+y%21&o=%7B%22n%22%3A1%7D&k%22=%22%3C"

body='cb.on({"callback":"cb.on","a":"1"});'
{ header "200 OK" text/javascript "${#body}"; printf '%s' "$body"; } >"$work/jsonp"
expect jsonp "$work/jsonp" "$base/q?callback=cb.on&a=1"

body=$'Invalid callback name\n'
{ header "400 Bad Request" text/plain "${#body}"; printf '%s' "$body"; } >"$work/callback"
expect bad-callback "$work/callback" "$base/q?callback=alert(document.cookie)"

body=$'Bad Request\n'
{ header "400 Bad Request" text/plain "${#body}"; printf '%s' "$body"; } >"$work/400"
expect bad-request-line "$work/400" -X "NOT A METHOD" "$base/q?a=1"
long="$(printf '%02000d' 0)"
expect long-request-line "$work/400" "$base/q?a=$long"
expect long-header-line "$work/400" -H "X-Long: $long" "$base/q?a=1"

# Several requests on one kept-alive connection; HTTP/1.0 without
# keep-alive gets a connection per request.
connects="$(curl -s -o /dev/null -o /dev/null -o /dev/null -w '%{num_connects} ' \
    "$base/" "$base/q?a=1" "$base/q?callback=cb")"
[[ "$connects" == "1 0 0 " ]] || fail "keep-alive: connections opened per request: $connects"
connects="$(curl -s -0 -o /dev/null -o /dev/null -w '%{num_connects} ' "$base/" "$base/q?a=1")"
[[ "$connects" == "1 1 " ]] || fail "HTTP/1.0: connections opened per request: $connects"
echo "ok: keep-alive"

# load NAME AB-ARGS...: ab must complete every request without a failure
# and every reply must be 2xx.
load() {
    local name="$1"
    shift
    timeout 30 ab -q -s 5 "$@" >"$work/$name.ab" 2>&1 || { cat "$work/$name.ab" >&2; fail "$name: ab failed"; }
    local complete failed rps
    complete="$(awk '/^Complete requests:/ {print $3}' "$work/$name.ab")"
    failed="$(awk '/^Failed requests:/ {print $3}' "$work/$name.ab")"
    rps="$(awk '/^Requests per second:/ {print $4}' "$work/$name.ab")"
    if [[ "$failed" != 0 ]] || grep -q '^Non-2xx responses' "$work/$name.ab"; then
        cat "$work/$name.ab" >&2
        fail "$name: failed requests"
    fi
    echo "ok: load $name: $complete requests, $failed failed, $rps requests per second"
}
load keep-alive -k -n 20000 -c 1 "$base/q?a=1&b=x+y"
load connection-per-request -n 5000 -c 4 "$base/q?callback=cb&a=1"
