#!/usr/bin/env bash
# Eight notices, each with a 5600 x 5600 RGB PNG (about 92 KB on the wire, 125 MB
# decoded), on a private X desktop (Xvfb, openbox, trayer): the program's peak
# resident memory (VmHWM) and its longest interface stall while they arrive.
#
#   picture-memory.sh BUILD_DIR   (bin/VantobelPlayTray and demo-bin/vantobel-vendor-service)
#
# The picture is made at run time and served by a small loopback server of its own;
# the demo vendor service hands out BENCH_PICTURES (8) notices naming it, one per
# notice poll, polled every 2 ticks of 200 ms, so every pop-up is open at once. The
# stall is timed from outside by stall-probe.pl, from the last notice on while the
# pictures arrive and are decoded: a link command every 20 ms, answered on the
# interface thread, so its longest round trip is the longest stall.
#
# stdout: table rows and met/MISSED lines only; notes go to stderr.
. "$(dirname "$0")/../../tests/e2e/e2e-lib.sh"
. "$(dirname "$0")/bench-lib.sh"
E2E_NAME=picture-memory

build=$(cd "${1:-build-rel}" 2>/dev/null && pwd) || e2e_fail "no build folder ${1:-build-rel}"
here=$(cd "$(dirname "$0")" && pwd)
count=${BENCH_PICTURES:-8}
side=${BENCH_PICTURE_SIDE:-5600}
e2e_init "$build/bin" 240 VantobelPlayTray vantobel-vendor-service
command -v python3 >/dev/null || e2e_fail "python3 is needed for the picture and its server"
# A notice every 0.4 s; a pop-up of another kind closes itself after 60 ticks (12 s).
export VANTOBEL_TRAY_TICK_MS=200 VANTOBEL_TRAY_POLL_TICKS=2

# Bands of one colour: deflate packs them near its limit, as the attack's picture.
pics=$XS_DIR/pics
mkdir -p "$pics"
python3 - "$pics/big.png" "$side" <<'PY'
import struct, sys, zlib
path, side = sys.argv[1], int(sys.argv[2])
raw = b"".join(b"\0" + bytes((y // 100 * 37 % 256, 120, 200)) * side for y in range(side))
data = zlib.compress(raw, 9)
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
with open(path, "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", data) + chunk(b"IEND", b""))
PY
e2e_note "picture: ${side}x${side} RGB, $(stat -c %s "$pics/big.png") bytes"
# Every answer is held until BENCH_PICTURE_DELAY (8) seconds after this server starts,
# so every pop-up is open before the first picture comes and the stall then measured
# is the pictures' own.
python3 -u - "$pics/big.png" "${BENCH_PICTURE_DELAY:-8}" >"$XS_DIR/log/pics.log" 2>&1 <<'PY' &
import http.server, sys, time
body, until = open(sys.argv[1], "rb").read(), time.time() + float(sys.argv[2])
class Picture(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        time.sleep(max(0, until - time.time()))
        self.send_response(200)
        self.send_header("Content-Type", "image/png")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Picture)
print("port", server.server_address[1], flush=True)
server.serve_forever()
PY
XS_PIDS+=($!)
e2e_eventually 10 "the picture server to listen" grep -q '^port [0-9]' "$XS_DIR/log/pics.log"
pic_port=$(sed -n 's/^port \([0-9]*\).*/\1/p' "$XS_DIR/log/pics.log" | head -n1)

{
    printf '<?xml version="1.0" encoding="utf-8"?>\n<Notices>\n'
    for ((i = 1; i <= count; i++)); do
        printf '<Notice kind="user"><Title>Picture %d</Title><Url>/news/p%d</Url>' "$i" "$i"
        printf '<Pic>http://127.0.0.1:%s/big.png?n=%d</Pic><Brief>A large picture.</Brief>' "$pic_port" "$i"
        printf '<TypeStr>Bench</TypeStr></Notice>\n'
    done
    printf '</Notices>\n'
} >"$XS_DIR/notices.xml"
e2e_service "$XS_DIR/notices.xml"

VANTOBEL_TRAY_ONLINE=1 "$E2E_PROG/VantobelPlayTray" '/u|||BENCH|||p1|||benchuser|||secret|||p4|||p5|||p6|||p7' \
    >>"$XS_DIR/log/tray.log" 2>&1 &
pid=$!
XS_PIDS+=($pid)
e2e_eventually 20 "the tray's link" test -S "$XDG_RUNTIME_DIR/VantobelPlayTray|VantobelPlayTrayDDEForm"

e2e_eventually 30 "$count notices" eval '(($(e2e_notice_requests) >= count))'
sleep 1 # the last pop-up is made
probe=$XS_DIR/stalls
"$here/stall-probe.pl" "${BENCH_PROBE_SECONDS:-20}" 20 >"$probe" &
probe_pid=$!
pictures() { grep -c 'GET /big.png' "$XS_DIR/log/pics.log" || true; }
e2e_eventually 60 "$count pictures sent" eval '(($(pictures) >= count))'
# The last picture is decoded after it arrives; the probe runs on meanwhile.
wait "$probe_pid"
e2e_running "$pid" || e2e_fail "the program ended"
peak=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
after=$(rss_kb "$pid")
kill -TERM "$pid"
wait "$pid" 2>/dev/null

sort -k2 -g -r "$probe" | head -n 5 | while read -r at ms; do e2e_note "  stall of $ms ms at $at ms"; done
worst=$(awk '$2 > m {m = $2} END {printf "%.0f", m}' "$probe")
over=$(awk '$2 > 100' "$probe" | grep -c . || true)
e2e_note "RSS peak $(mb "$peak") MB, at the end $(mb "$after") MB;" \
    "$(grep -c . "$probe") probes, worst round trip $worst ms, $over over 100 ms"
row "$count big pictures: peak RSS" "-" "$(mb "$peak") MB" "-"
row "$count big pictures: RSS after" "-" "$(mb "$after") MB" "-"
row "$count big pictures: worst stall" "-" "$worst ms" "-"
verdict "$count pictures of ${side}x${side}: peak RSS <= 250 MB" "$(mb "$peak")" 250
verdict "$count pictures of ${side}x${side}: no stall over 100 ms" "$worst" 100
exit 0
