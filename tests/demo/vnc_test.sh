#!/usr/bin/env bash
# Serves an empty Xvfb as `./run demo` does on a machine without a display, then checks
# from outside: every listening socket of the VNC port is on the loopback, and the server
# offers VNC password authentication only (security type 2), never "none" (type 1).
set -euo pipefail
source "$1"
unset DISPLAY WAYLAND_DISPLAY

fail() { echo "vnc_test: $*" >&2; exit 1; }

for ((VNC_PORT = 5950; VNC_PORT < 6050; VNC_PORT++)); do
    (exec 3<>"/dev/tcp/127.0.0.1/$VNC_PORT") 2>/dev/null || break
done
log="$(mktemp)"
serve_by_vnc >"$log"
grep -q "VNC password for this run: [A-Za-z0-9]\{8\}$" "$log" || fail "no password printed: $(cat "$log")"

listening="$(ss -ltnH "sport = :$VNC_PORT" | awk '{print $4}')"
[[ -n "$listening" ]] || fail "nothing listens on port $VNC_PORT"
while read -r address; do
    [[ "$address" == 127.0.0.1:* || "$address" == "[::1]:"* ]] || fail "listens on $address"
done <<<"$listening"

exec 3<>"/dev/tcp/127.0.0.1/$VNC_PORT"
read -r -N 12 -t 10 version <&3 || fail "no greeting"
[[ "$version" == "RFB 003.008"* ]] || fail "greeting: $version"
printf 'RFB 003.008\n' >&3
types="$(head -c 2 <&3 | od -An -tu1 | tr -s ' ')"
exec 3<&-
[[ "$types" == " 1 2" ]] || fail "security types offered (count, types...):$types"
rm -f "$log"
echo "vnc_test: loopback only, password required"
