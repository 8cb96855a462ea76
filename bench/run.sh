#!/usr/bin/env bash
# Runs the benchmarks and prints every figure next to its limit and target.
# Figures are ratios measured side by side in one run: the machine's speed
# and load cancel out. Usage: bench/run.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="$(mktemp -d /tmp/orbantis-bench-XXXXXX)"
trap 'rm -rf "$out"' EXIT
"$build/bench/bench_engine" --benchmark_format=json >"$out/engine.json" 2>/dev/null
"$build/bench/bench_bus" --benchmark_format=json >"$out/bus.json" 2>/dev/null
"$build/bench/bench_receipts" --benchmark_format=json >"$out/receipts.json" 2>/dev/null
"$build/bench/bench_http" --benchmark_format=json >"$out/http.json" 2>/dev/null
/usr/bin/python3 - "$out/engine.json" "$out/bus.json" "$out/receipts.json" "$out/http.json" <<'PY'
import json, sys
b = {}
for f in sys.argv[1:]:
    for x in json.load(open(f))["benchmarks"]:
        b[x["name"].split("/")[0]] = x
def t(name):  # real time in microseconds
    x = b[name]; scale = {"us": 1, "ms": 1000, "ns": 0.001}[x["time_unit"]]
    return x["real_time"] * scale
rows = []
def row(what, value, limit_text, ratio, target):
    rows.append((what, value, limit_text, ratio, target, "met" if ratio <= target else "MISSED"))
row("1 engine round trip", f'{t("EngineRoundTrip"):.1f} us', f'raw ping-pong {t("RawPtyPingPong"):.1f} us',
    t("EngineRoundTrip") / t("RawPtyPingPong"), 1.5)
limit = t("TrivialCall") + t("RawPtyPingPong")
row("2 command through the bus", f'{t("CommandCall"):.0f} us', f'trivial call + raw {limit:.0f} us', t("CommandCall") / limit, 1.3)
wire = b["Command115200"]["wire_ms"] * 1000
row("3 one command at 115200", f'{t("Command115200")/1000:.2f} ms', f'wire {wire/1000:.2f} ms', t("Command115200") / wire, 1.05)
rows.append(("3 the same bytes sent raw", f'{t("RawToPrinter115200")/1000:.2f} ms', f'driver {t("Command115200")/1000:.2f} ms',
             t("Command115200") / t("RawToPrinter115200"), "-", "the driver against a raw client"))
wire = b["LogoUpload115200"]["wire_ms"] * 1000
row("3 96 logo rows at 115200", f'{t("LogoUpload115200")/1000:.0f} ms', f'wire {wire/1000:.0f} ms', t("LogoUpload115200") / wire, 1.05)
row("4 call beside a silent printer", f'{t("IsolatedCall"):.0f} us', f'alone {t("CommandCall"):.0f} us', t("IsolatedCall") / t("CommandCall"), 1.2)
m = b["ServerMemory"]
row("5 idle server memory", f'{m["idle_KiB"]/1024:.1f} MiB', "30 MiB", m["idle_KiB"] / 1024 / 30, 1.0)
row("5 memory per object", f'{m["per_object_KiB"]:.0f} KiB', "1 MiB", m["per_object_KiB"] / 1024, 1.0)
row("5 start by the bus", f'{t("ActivationStart")/1000:.0f} ms', "300 ms", t("ActivationStart") / 300000, 1.0)
load, one = b["Load8Clients"], b["OneClient"]
rows.append(("6 8 clients x 2000 calls", f'{load["calls_per_s"]:.0f} calls/s', f'one client {one["calls_per_s"]:.0f} calls/s',
             load["calls_per_s"] / one["calls_per_s"], "-", "wrong answers: %d" % load["wrong_answers"]))
row("7 10-item receipt, printReceipt", f'{t("ReceiptService115200")/1000:.1f} ms',
    f'one by one {t("ReceiptOneByOne115200")/1000:.1f} ms', t("ReceiptService115200") / t("ReceiptOneByOne115200"), 1.10)
web, local = b["Http8x500"], b["InProcess8x500"]
row("8 8 printers x 500 receipts, HTTP", f'{web["per_receipt_ms"]:.1f} ms',
    f'printReceipt in-process {local["per_receipt_ms"]:.1f} ms', web["per_receipt_ms"] / local["per_receipt_ms"], 1.05)
rows.append(("8 receipts lost / doubled", "%d / %d" % (web["lost"] + web["failed"], web["doubled"]),
             "in-process %d / %d" % (local["lost"] + local["failed"], local["doubled"]), 0, "-", "of %d each way" % web["receipts"]))
print(f'{"figure":34} {"measured":>14}  {"against":32} {"ratio":>6}  target')
for w, v, l, r, tg, s in rows:
    print(f'{w:34} {v:>14}  {l:32} {r:6.2f}  {tg}  {s}')
PY
