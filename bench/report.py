#!/usr/bin/env python3
"""Collects the benchmark suites' output into one report.

Reads out/raw/<suite>.txt (ROW and SAMPLE lines), .rc (exit code), .rerun
(why a suite's first launch failed, when scripts/bench ran it again) and the
fuzzer's log, fills in every expected row that a suite did not give as "not
measured", and writes results.json, results.md and accuracy.png (gnuplot).
Exits 1 when a suite failed or a row is missing, so the short run in CI
checks that every benchmark still runs and reports; the targets themselves
only show in the report.
"""

import argparse
import datetime
import json
import os
import re
import subprocess
import sys

INTERVALS = [250, 500, 1000, 2000, 5000]
ENDURANCE_PHASES = ["paints", "resize_cycles", "entry_calls", "options_dialog"]
REGISTRY_CASES = [
    "key_missing", "values_missing", "wrong_type_binary_4_bytes", "wrong_type_string_4_bytes",
    "wrong_type_string_6_bytes", "too_long_qword", "too_short_2_bytes", "too_short_1_byte",
    "too_short_empty", "out_of_range_above", "out_of_range_below", "out_of_range_extremes",
    "transparent_colours",
]

# Every row the report must hold, by the suite that gives it.
EXPECTED = {
    "accuracy": ["accuracy.cpu_mean_abs_error"]
    + [f"accuracy.cpu_mean_abs_error_{i}ms" for i in INTERVALS]
    + ["accuracy.cpu_mean_abs_error_vs_duty"]
    + [f"accuracy.cpu_level_{d}_error" for d in (0, 25, 50, 75, 100)]
    + ["accuracy.cpu_full_load_reads_100", "accuracy.memory_max_abs_error",
       "accuracy.memory_max_abs_error_vs_meminfo"],
    "overhead": ["overhead.job_slowdown", "overhead.item_time_outside_spin_per_hour"],
    "response": [f"response.{s}{m}_{p}_{i}ms" for s in ("", "saturated_")
                 for m in ("wm_size", "wm_destroy", "wm_close")
                 for p in ("spin", "sleep") for i in INTERVALS],
    "paint_96": [f"paint.240x50_96dpi_{k}" for k in ("item", "bare", "ratio")],
    "paint_192": [f"paint.480x100_192dpi_{k}" for k in ("item", "bare", "ratio")],
    "endurance": [f"endure.{p}_{k}" for p in ENDURANCE_PHASES
                  for k in ("completed", "samplers", "gdi_growth", "handle_growth",
                            "private_growth")]
    + [f"endure.load_unload_{k}" for k in ("completed", "gdi_growth", "handle_growth",
                                           "private_growth")],
    "registry": [f"registry.{c}" for c in REGISTRY_CASES],
    "fuzz": [f"fuzz.{f}_{k}" for f in ("dialog_template", "setup_file")
             for k in ("runs", "findings")],
    "shipped": [f"shipped.{arch}{k}" for arch in ("", "arm_")
                for k in ("tovamet_dll_bytes", "tovametsetup_dll_bytes", "imports_outside_device")],
}
SUITES = ["accuracy", "overhead", "response", "paint_96", "paint_192", "endurance", "registry",
          "shipped"]


def read(path, default=""):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return default


def parse_suite(raw, suite):
    rows, samples, problems, dropped = [], [], [], []
    text = read(os.path.join(raw, suite + ".txt"))
    rc = read(os.path.join(raw, suite + ".rc"), "missing").strip()
    for line in text.splitlines():
        fields = line.split("\t")
        if fields[0] == "ROW" and len(fields) == 8:
            _, name, value, unit, compared, target, status, note = fields
            rows.append({
                "suite": suite, "name": name, "value": float(value) if value else None,
                "unit": unit, "compared": compared, "target": target, "status": status,
                "note": note,
            })
        elif fields[0] == "SAMPLE":
            samples.append([float(x) for x in fields[1:]])
        elif fields[0] == "DROPPED":
            dropped.append([float(x) for x in fields[1:]])
        elif fields[0] == "HANG":
            problems.append(f"hang in {fields[1]} (nothing for {fields[2]} s)")
        elif fields[0] == "ERROR":
            problems.append(fields[1])
    if rc != "0":
        problems.append(f"exit code {rc}")
    return rows, samples, dropped, problems


FUZZERS = {"dialog_template": "dialog template walker",
           "setup_file": "cabinet setup-file reader"}


def fuzz_rows(raw, fuzzer):
    base = os.path.join(raw, "fuzz_" + fuzzer)
    missing = read(base + ".missing").strip()
    if missing:
        return [], [missing]
    log = read(base + ".txt")
    rc = read(base + ".rc", "missing").strip()
    planned = read(base + ".planned").strip()
    done = re.search(r"Done (\d+) runs in (\d+) second", log)
    runs = int(done.group(1)) if done else None
    if runs is None:
        last = re.findall(r"^#(\d+)\s", log, re.M)
        runs = int(last[-1]) if last else 0
    prefix = "fuzz_" + fuzzer + "-artifact-"
    artifacts = [f for f in os.listdir(raw) if f.startswith(prefix)]
    findings = len(artifacts) + (1 if rc not in ("0",) and not artifacts else 0)
    seconds = done.group(2) if done else "?"
    compared = FUZZERS[fuzzer] + " under ASan + UBSan (libFuzzer)"
    rows = [
        {"suite": "fuzz", "name": f"fuzz.{fuzzer}_runs", "value": float(runs),
         "unit": "runs", "compared": compared, "target": f"{planned} planned",
         "status": "pass" if done and str(runs) == planned else "info",
         "note": f"{seconds} s; exit code {rc}"
                 + ("" if str(runs) == planned else "; stopped at the time cap")},
        {"suite": "fuzz", "name": f"fuzz.{fuzzer}_findings", "value": float(findings),
         "unit": "findings", "compared": compared, "target": "0",
         "status": "pass" if findings == 0 else "fail",
         "note": ("artifacts: " + ", ".join(artifacts)) if artifacts else "no crash, leak or "
                 "sanitizer report"},
    ]
    return rows, []


def plot(out, samples, dropped):
    """One panel per sample interval, each over its own stretch of the run."""
    panels = []
    for interval in INTERVALS:
        mine = [s for s in samples if s[1] == interval]
        if not mine:
            continue
        data = os.path.join(out, f"accuracy-{interval}ms.dat")
        with open(data, "w") as f:
            f.write("# t_s interval_ms duty item kernel\n")
            for s in mine:
                f.write(f"{s[0]:.3f} {s[1]:.0f} {s[2]:.0f} {s[3]:.0f} {s[4]:.2f}\n")
        stale_rows = [d for d in dropped if d[1] == interval]
        stale_clause = ""
        # gnuplot refuses an empty data file.
        if stale_rows:
            stale = os.path.join(out, f"accuracy-{interval}ms-dropped.dat")
            with open(stale, "w") as f:
                f.write("# t_s interval_ms duty value_shown\n")
                for d in stale_rows:
                    f.write(f"{d[0]:.3f} {d[1]:.0f} {d[2]:.0f} {d[3]:.0f}\n")
            stale_clause = (f', \\\n     "{stale}" using 1:4 with points pt 2 ps 1 '
                            'lc rgb "#000000" title "spin with no processor time: previous '
                            'value shown again"')
        panels.append(f"""
set title "{interval} ms samples ({len(mine)})"
plot "{data}" using 1:3 with steps lw 1 lc rgb "#aaaaaa" title "generator duty", \\
     "{data}" using 1:5 with linespoints pt 6 ps 0.8 lc rgb "#1f77b4" title "kernel (/proc/stat, less the sampler)", \\
     "{data}" using 1:4 with points pt 7 ps 0.5 lc rgb "#d62728" title "item sample"{stale_clause}
""")
    if not panels:
        return False
    script = f"""
set terminal pngcairo size 1000,{280 * len(panels) + 40} font ",10"
set output "{os.path.join(out, 'accuracy.png')}"
set multiplot layout {len(panels)},1 title "Item processor samples against the kernel's busy share of core 0, by sample interval"
set xlabel "time into the run (s)"
set ylabel "processor load (%)"
set yrange [-5:105]
set key bottom right
set grid
""" + "".join(panels) + "unset multiplot\n"
    try:
        subprocess.run(["gnuplot"], input=script, text=True, check=True)
        return True
    except (OSError, subprocess.CalledProcessError) as error:
        print(f"report: no plot: {error}", file=sys.stderr)
        return False


def shown(row):
    if row["value"] is None:
        return "-"
    v = row["value"]
    return f"{v:.0f}" if abs(v) >= 1000 or v == int(v) else f"{v:.2f}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", required=True)
    parser.add_argument("--command", required=True)
    parser.add_argument("--machine", required=True)
    parser.add_argument("--seconds", type=int, default=0)
    parser.add_argument("--short", action="store_true")
    # Only these suites ran: the report expects their rows alone.
    parser.add_argument("--suites", nargs="+", default=list(EXPECTED))
    args = parser.parse_args()
    raw = os.path.join(args.out, "raw")

    rows, samples, dropped, problems, reruns = [], [], [], {}, {}
    for suite in (s for s in SUITES if s in args.suites):
        rerun = read(os.path.join(raw, suite + ".rerun")).strip()
        if rerun:
            reruns[suite] = rerun
        got, got_samples, got_dropped, trouble = parse_suite(raw, suite)
        rows += got
        if suite == "accuracy":
            samples, dropped = got_samples, got_dropped
        if trouble:
            problems[suite] = "; ".join(trouble)
    fuzz_missing = None
    if "fuzz" in args.suites:
        for fuzzer in FUZZERS:
            got, trouble = fuzz_rows(raw, fuzzer)
            rows += got
            fuzz_missing = fuzz_missing or (trouble[0] if trouble else None)

    names = {r["name"] for r in rows}
    missing = []
    for suite, expected in EXPECTED.items():
        if suite not in args.suites:
            continue
        for name in expected:
            if name in names:
                continue
            if suite == "fuzz" and fuzz_missing:
                reason = fuzz_missing
            else:
                reason = f"suite {suite} gave no such row ({problems.get(suite, 'no reason given')})"
                missing.append(name)
            rows.append({"suite": suite, "name": name, "value": None, "unit": "",
                         "compared": "", "target": "", "status": "not measured: " + reason,
                         "note": ""})
    order = {n: i for i, n in enumerate(n for e in EXPECTED.values() for n in e)}
    rows.sort(key=lambda r: order.get(r["name"], len(order)))

    have_plot = bool(samples) and plot(args.out, samples, dropped)
    now = datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z")
    report = {"date": now, "machine": args.machine, "command": args.command,
              "short": args.short, "seconds": args.seconds, "problems": problems,
              "reruns": reruns, "rows": rows}
    with open(os.path.join(args.out, "results.json"), "w") as f:
        json.dump(report, f, indent=1)

    def cell(text):
        return str(text).replace("|", "\\|")

    lines = [
        "# Benchmark results" + (" (short run)" if args.short else ""),
        "",
        f"- Date: {now}",
        f"- Machine: {args.machine}",
        f"- Command: `{args.command}` ({args.seconds} s)",
        "- Wine 8 (Debian), the item's code linked into `tovamet_bench.exe`; measuring suites "
        "pinned to core 0 with the sampler in Linux's SCHED_IDLE class.",
        "",
    ]
    if problems:
        lines += ["Problems: " + "; ".join(f"{k}: {v}" for k, v in problems.items()), ""]
    if reruns:
        lines += ["Rerun once after a failed launch (the rows are from the second run): "
                  + "; ".join(f"{k}: {v}" for k, v in reruns.items()), ""]
    if have_plot:
        lines += ["![accuracy](accuracy.png)", ""]
    lines += ["| Figure | Value | Unit | Compared against | Target | Result | Note |",
              "|---|---|---|---|---|---|---|"]
    for r in rows:
        lines.append("| " + " | ".join(cell(x) for x in (
            r["name"], shown(r), r["unit"], r["compared"], r["target"], r["status"],
            r["note"])) + " |")
    with open(os.path.join(args.out, "results.md"), "w") as f:
        f.write("\n".join(lines) + "\n")

    width = max(len(r["name"]) for r in rows)
    for r in rows:
        value = f"{shown(r)} {r['unit']}".strip()
        print(f"{r['name']:<{width}}  {value:<24} {r['target']:<32} {r['status']}")
    if problems:
        print("problems: " + "; ".join(f"{k}: {v}" for k, v in problems.items()))
    if reruns:
        print("rerun after a failed launch: " + "; ".join(f"{k}: {v}" for k, v in reruns.items()))
    print(f"report: {os.path.join(args.out, 'results.md')}")
    return 1 if missing or problems else 0


if __name__ == "__main__":
    sys.exit(main())
