#!/usr/bin/env bash
# ambrel_serve_folder.exe under Wine serves a folder on port 80 to Linux
# curl: a 10 MiB file byte-exact, a 304, keep-alive, a CGI program (a native
# .exe under \cgi-bin\) with a POST, and the day's log file. Called by
# scripts/test-windows.sh inside its network namespace, Wine server running.
set -euo pipefail
trap 'echo "smoke-windows: failed at line $LINENO: $BASH_COMMAND" >&2' ERR

build="$1"
work="$(mktemp -d /tmp/ambrel-smoke-XXXXXX)"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  exec 3>&- 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "smoke-windows: FAILED: $*" >&2; exit 1; }

site="$work/site"
mkdir -p "$site/cgi-bin" "$work/logs"
head -c 10485760 /dev/urandom > "$site/big.bin"
printf '<p>smoke</p>' > "$site/index.html"
cp "$build/ambrel_cgi_standin.exe" "$site/cgi-bin/standin.exe"

# The server reads its standard input: a line there stops it.
mkfifo "$work/control"
winpath() { echo "Z:${1//\//\\}"; }
timeout 300 wine "$build/ambrel_serve_folder.exe" "$(winpath "$site")" --cgi \
  --log "$(winpath "$work/logs")" --scope 0 < "$work/control" > "$work/server.out" 2>&1 &
server_pid=$!
exec 3> "$work/control"

curl_() { timeout 60 curl -s "$@"; }
for _ in $(seq 1 300); do
  [ "$(curl_ -o /dev/null -w '%{http_code}' http://127.0.0.1/index.html || true)" = 200 ] && break
  kill -0 "$server_pid" 2>/dev/null || fail "the server ended: $(cat "$work/server.out")"
  sleep 0.1
done

# 10 MiB, byte for byte.
curl_ -o "$work/got.bin" -D "$work/big.head" http://127.0.0.1/big.bin
cmp -s "$site/big.bin" "$work/got.bin" || fail "big.bin differs"
grep -q '^Content-Length: 10485760' "$work/big.head" || fail "no length: $(cat "$work/big.head")"

# The exact Last-Modified echoed back: 304.
modified="$(grep -i '^Last-Modified:' "$work/big.head" | cut -d' ' -f2- | tr -d '\r')"
[ "$(curl_ -o /dev/null -w '%{http_code}' -H "If-Modified-Since: $modified" http://127.0.0.1/big.bin)" = 304 ] \
  || fail "no 304 for If-Modified-Since: $modified"

# Keep-alive: the second request rides on the first one's connection.
verbose="$(curl_ -v -H 'Connection: Keep-Alive' http://127.0.0.1/index.html http://127.0.0.1/index.html 2>&1)"
echo "$verbose" | grep -qi 're-using existing connection' || fail "connection not kept: $verbose"
[ "$(echo "$verbose" | grep -c '<p>smoke</p>')" -ge 2 ] || fail "pages missing: $verbose"

# The CGI program with a POST body.
posted="$(curl_ -d 'name=Ada&colour=red' 'http://127.0.0.1/cgi-bin/standin.exe?x=1')"
for line in 'body name=Ada&colour=red' 'env REQUEST_METHOD=POST' 'env CONTENT_LENGTH=19' \
            'env QUERY_STRING=x=1' 'env CONTENT_TYPE=application/x-www-form-urlencoded'; do
  echo "$posted" | grep -qxF "$line" || fail "CGI output lacks '$line': $posted"
done

# What the program says on standard error reaches the server's, never the page.
echo "$posted" | grep -q 'standard error' && fail "the CGI program's standard error is in the page"

# Stop with a typed line; the log is written out by then.
echo >&3
for _ in $(seq 1 300); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$server_pid" 2>/dev/null && fail "the server did not stop"
wait "$server_pid" || fail "the server ended with $?: $(cat "$work/server.out")"
server_pid=""
grep -q 'standin: a line on standard error' "$work/server.out" ||
  fail "the CGI program's standard error did not reach the server's: $(cat "$work/server.out")"

log="$work/logs/Ambrel_HTTP_$(date +%m_%d_%Y).log"
[ -f "$log" ] || fail "no log file $log: $(ls "$work/logs")"
for expected in '"GET /big.bin HTTP/1.1" 200 10485' '"GET /big.bin HTTP/1.1" 304 ' \
                '"POST /cgi-bin/standin.exe?x=1 HTTP/1.1" 200 '; do
  grep -qF "$expected" "$log" || fail "log lacks $expected: $(cat "$log")"
done
[ "$(grep -c '"GET /index.html HTTP/1.1" 200 ' "$log")" -ge 3 ] || fail "log lacks the pages: $(cat "$log")"

echo "smoke-windows: 10 MiB byte-exact, 304, keep-alive, CGI POST (its standard error on the server's) and the day's log: passed"
echo "smoke-windows: PHP not exercised: php-cgi.exe/php.exe are not on this machine"
