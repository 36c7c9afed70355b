#!/usr/bin/env python3
"""Writes docs/benchmarks.md from the results folder of tools/bench.

  bench-report.py RESULTS OUTPUT [BEFORE]

BEFORE, the results folder of an earlier run on the same machine, adds its time above the
pauses beside this run's. The Linux part of OUTPUT (from the line "## On Linux" on, written by
bench-report-linux.py) is kept as it is.

RESULTS holds runs.tsv (size build program round wall_ms cpu_ms all_cpu_ms peak_kb check),
tree-SIZE.json, calls-BUILD-ROUND.tsv, the Google Benchmark JSON files,
machine.txt and the load-* snapshots.
"""
import glob
import json
import os
import statistics
import sys

PAUSE_PER_FOLDER_MS = 5
PACING_PAUSE_MS = 1
PACING_EVERY = 251

BUILD_NAMES = {
    "32": "32-bit (ships; Wine's 32-bit side)",
    "64": "64-bit (same sources; Wine's 64-bit side)",
}


def median(values):
    return statistics.median(values) if values else None


def fmt(value, digits=2, unit=""):
    if value is None:
        return "–"
    return f"{value:,.{digits}f}{unit}"


def load_runs(results):
    runs = {}
    with open(os.path.join(results, "runs.tsv")) as tsv:
        for line in tsv:
            size, build, program, _round, wall, cpu, all_cpu, peak, check = line.split()[:9]
            if wall == "-":
                runs.setdefault((int(size), build, program), []).append(None)
                continue
            runs.setdefault((int(size), build, program), []).append(
                {"wall": int(wall) / 1000, "cpu": int(cpu) / 1000, "all": int(all_cpu) / 1000,
                 "peak": int(peak) / 1024, "check": check})
    return runs


def summary(samples):
    good = [s for s in samples if s is not None]
    if not good:
        return None
    walls = [s["wall"] for s in good]
    return {
        "wall": median(walls),
        "min": min(walls),
        # How far the slowest round is above the fastest.
        "spread": max(walls) / min(walls) - 1 if min(walls) > 0 else 0,
        "cpu": median([s["cpu"] for s in good]),
        "all": median([s["all"] for s in good]),
        "peak": max(s["peak"] for s in good),
        "n": len(good),
        "walls": walls,
        "check": "ok" if all(s["check"] == "ok" for s in good) and len(good) == len(samples)
        else "; ".join(sorted({s["check"] for s in good if s["check"] != "ok"}) or ["a run failed"]),
    }


SPREAD_LIMIT = 0.25


def spread_cell(s):
    """The spread of a side's rounds, marked where it is above the limit."""
    text = f"{s['spread'] * 100:.0f} %"
    return f"**{text}**" if s["spread"] > SPREAD_LIMIT else text


def floor_seconds(tree):
    pacing = tree["matches"] // PACING_EVERY
    return (tree["folders"] * PAUSE_PER_FOLDER_MS + pacing * PACING_PAUSE_MS) / 1000


def load_calls(results, build):
    table = {}
    for path in sorted(glob.glob(os.path.join(results, f"calls-{build}-*.tsv"))):
        with open(path) as tsv:
            for line in tsv:
                parts = line.rstrip("\n").split("\t")
                if len(parts) >= 2:
                    table.setdefault(parts[0], []).append(float(parts[1]))
    return {name: median(values) for name, values in table.items()}


def load_benchmarks(results, name):
    path = os.path.join(results, f"{name}.json")
    if not os.path.exists(path):
        return {}
    with open(path) as f:
        data = json.load(f)
    out = {}
    for b in data.get("benchmarks", []):
        if b.get("aggregate_name", "median") != "median":
            continue
        out[b.get("run_name", b["name"])] = b
    return out


def machine_info(results):
    info = {}
    with open(os.path.join(results, "machine.txt")) as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            info[key] = value
    return info


def read_load(results, name):
    path = os.path.join(results, f"load-{name}")
    if not os.path.exists(path):
        return "–"
    return " / ".join(open(path).read().split()[:3])


def model(calls, tree):
    """Seconds a run should take from the cost of its platform calls alone."""
    need = ["Pause(5)", "Pause(1)", "listing of an empty folder", "listing of the folder",
            "entries in the listed folder", "console: row of 200 columns (cursor move and write)",
            "console: buffer info", "console: colours",
            "log line: open, size, seek, write, close", "attributes: read", "attributes: write",
            "redirection off + on"]
    if any(calls.get(n) is None for n in need):
        return None
    us = calls
    per_entry_listed = (us["listing of the folder"] - us["listing of an empty folder"]) / max(
        us["entries in the listed folder"], 1)
    row = us["console: row of 200 columns (cursor move and write)"]
    # Rows that go out together: a folder's count and folder rows, and the entry rows eight at
    # a time (a build without that draws each row alone).
    pair = us.get("console: count and folder rows in one call", 2 * row)
    entry_row = us.get("console: entry row, eight in one call", row)
    folders, matches = tree["folders"], tree["matches"]
    entries_per_folder = tree["entries"] / (folders + 1)
    listing = us["listing of an empty folder"] + entries_per_folder * per_entry_listed
    # Row 2 is drawn again only after a folder that selected something.
    count_rows = min(folders, matches) / max(folders, 1)
    # A folder's rows wait for the pause before the next folder and go out while it lasts, on
    # the console side's own thread: they cost what they make the pause longer (a build
    # without that draws them between the pause and the listing).
    held = us.get("Pause(5) with a folder's rows waiting")
    rows = max(held - us["Pause(5)"], 0) if held else count_rows * pair + (1 - count_rows) * row
    per_folder = us["Pause(5)"] + listing + rows + us["redirection off + on"]
    log_line = us["log line: open, size, seek, write, close"]
    per_match_list = log_line + entry_row
    per_match_clear = per_match_list + log_line + 2 * us["attributes: read"] + us["attributes: write"] \
        + 3 * us["redirection off + on"]
    # The start folder, the buffer's size, four colours, the phase line, finished!
    fixed = listing + us["console: buffer info"] + 4 * us["console: colours"] + 2 * row + 2 * log_line
    pacing = (matches // PACING_EVERY) * us["Pause(1)"]
    skips = tree["skip_lines"] * log_line
    list_s = (fixed + folders * per_folder + matches * per_match_list + skips + pacing) / 1e6
    clear_s = (fixed + folders * per_folder + matches * per_match_clear + skips + pacing) / 1e6
    return {"list": list_s, "clear": clear_s, "per_folder_ms": per_folder / 1000,
            "per_match_list_ms": per_match_list / 1000, "per_match_clear_ms": per_match_clear / 1000}


def before_and_after(w, before, runs, trees, sizes, builds):
    """The time above the pauses of an earlier run (BEFORE, a results folder) beside this one's."""
    info = machine_info(before)
    old = load_runs(before)
    w("## Before and after")
    w("")
    w(f"The same measurement of commit {info.get('commit') or '?'} ({info.get('started', '?')} to "
      f"{info.get('finished', '?')}, load average {read_load(before, 'start')} at its start), run "
      "on this machine just before this page's; each ratio is the median time above the pauses "
      "to attrib's fastest round in the same run. Goal: time above the pauses at most 0.8x attrib "
      "on each tree.")
    w("")
    w("| tree | side | run | before: above floor s | ratio | after: above floor s | ratio |")
    w("|---|---|---|---:|---:|---:|---:|")
    worst = 0
    for size in sizes:
        floor = floor_seconds(trees[size])
        for b in builds:
            cells = {}
            for name, table in (("before", old), ("after", runs)):
                attrib = summary(table.get((size, b, "attrib"), []))
                for program in ("list", "clear"):
                    s_ = summary(table.get((size, b, program), []))
                    above = s_["wall"] - floor if s_ else None
                    ratio = above / attrib["min"] if s_ and attrib else None
                    cells[name, program] = (above, ratio)
            for program in ("list", "clear"):
                (ab, rb), (aa, ra) = cells["before", program], cells["after", program]
                worst = max(worst, ra or 0)
                w(f"| {size:,} folders | {b}-bit | {program.upper()} | {fmt(ab)} | {fmt(rb, 2, 'x')} | "
                  f"{fmt(aa)} | {fmt(ra, 2, 'x')} |")
    w("")
    verdict = "met" if worst <= 0.8 else f"missed by {fmt(worst / 0.8, 2)}x"
    w(f"- Goal: **{verdict}**, at most {fmt(worst, 2)}x attrib after.")
    w("")


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    results, output = sys.argv[1], sys.argv[2]
    before = sys.argv[3] if len(sys.argv) == 4 else None
    info = machine_info(results)
    runs = load_runs(results)
    sizes = sorted({k[0] for k in runs if k[0] > 0})
    builds = sorted({k[1] for k in runs})
    trees = {}
    for size in sizes:
        with open(os.path.join(results, f"tree-{size}.json")) as f:
            trees[size] = json.load(f)
    calls = {b: load_calls(results, b) for b in builds}
    emulated = info.get("emulated32") == "1"

    md = []
    w = md.append
    w("# Benchmarks")
    w("")
    w("Written by `tools/bench`; every figure comes from the run its part describes: zavero.exe "
      "under Wine first, then the Linux program (*On Linux*). Run it again to refresh this page "
      "(`tools/bench --help` for sizes and rounds; `--no-linux` and `--linux-only` refresh one part "
      "and keep the other).")
    w("")
    w("## Machine and run")
    w("")
    w(f"- Date: {info.get('started', '?')} to {info.get('finished', '?')}")
    w(f"- Command: `{info.get('command', '?')}` at commit {info.get('commit', '?')}")
    w(f"- CPU: {info.get('cpu', '?')}, {info.get('cores', '?')} cores, "
      f"{info.get('memory', '?')}; {info.get('os', '?')}, {info.get('kernel', '?')}")
    w(f"- Wine: {info.get('wine', '?')}; 32-bit programs "
      + (f"run under qemu's user-mode emulator (qemu-user {info.get('qemu', '?')}): this kernel "
         "runs no 32-bit x86 code" if emulated else "run natively"))
    w(f"- Compilers: {info.get('compiler', '?')} (the Windows builds), {info.get('host_compiler', '?')} (host)")
    pinned = info.get("cpu_pinned", "free")
    if pinned == "free":
        w("- Wine's processes: left to the scheduler (`--cpu free`).")
    else:
        w(f"- Wine's processes: every process of the Wine side (Wine's server and services, the "
          f"program, its console host, the console's tmux server) on CPU {pinned}, for both "
          "programs alike. A program under Wine waits for Wine's server on nearly every call; on "
          "this virtual machine a wake-up on the other CPU costs several times one on the same "
          "CPU, so left to the scheduler, the time of either program changes between levels as "
          "the processes happen to land (*Where attrib and Wine's server run*, below).")
    w(f"- Load average (1, 5, 15 min) at the start: {read_load(results, 'start')}, at the end: "
      f"{read_load(results, 'end')}. The machine has "
      f"{info.get('cores', '?')} cores shared with other work, so wall times carry that load; "
      "CPU times (user + system of the program's own process) are steadier.")
    w("")
    summary_lines, ratios = [], []
    for size in sizes:
        tree = trees[size]
        floor = floor_seconds(tree)
        for b in builds:
            attrib = summary(runs.get((size, b, "attrib"), []))
            start = summary(runs.get((0, b, "start"), []))
            parts = []
            for program in ("list", "clear"):
                s_ = summary(runs.get((size, b, program), []))
                if not s_ or not attrib:
                    continue
                above = s_["wall"] - floor
                per_entry = (above - (start["wall"] if start else 0)) / tree["entries"] * 1e6
                ratios.append(above / attrib["min"])
                parts.append(f"{program.upper()} {fmt(above, 2)} s above the pauses "
                             f"({fmt(above / attrib['min'], 2)}x attrib's fastest {fmt(attrib['min'], 2)} s; "
                             f"{fmt(per_entry, 0)} µs per entry after the start)")
            if parts:
                summary_lines.append(f"- {size:,} folders, {b}-bit: " + "; ".join(parts) + ".")
    if summary_lines:
        w("## In short")
        w("")
        scan_early = load_benchmarks(results, "zavero_scan_bench")
        own = [b["per_entry"] * 1e9 for n, b in scan_early.items()
               if n.startswith("BM_ScanAndProcess") and "per_entry" in b]
        goal = ("met" if max(ratios) <= 0.8 else f"missed by up to {fmt(max(ratios) / 0.8, 2)}x")
        w(f"Under Wine a run costs its required pauses plus {fmt(min(ratios), 2)} to "
          f"{fmt(max(ratios), 2)} times what Wine's own attrib takes for the same tree at its "
          f"fastest (the goal, at most 0.8x on every tree, LIST and CLEAR: **{goal}**). That extra "
          "is the platform's: console, log and listing calls, each a round trip to Wine's server "
          "or console host (see *Where the time goes*)"
          + (f"; the program's own work is at most {max(own):,.0f} ns per entry (last section)."
             if own else "."))
        w("")
        md.extend(summary_lines)
        w("")
    if before:
        before_and_after(w, before, runs, trees, sizes, builds)
    w("## zavero.exe beside attrib under Wine")
    w("")
    w("Each tree: *F* folders below the start folder, each folder (the start folder too) "
      f"with {trees[sizes[0]]['files_per_folder'] if sizes else '?'} files; every tenth entry hidden "
      "(`0x2`), every fiftieth hidden + system (`0x6`). zavero.exe runs with a log in a 200 x 160 "
      "console (tmux), timed from its start to the moment the `finished!` line reached its log "
      "(the log's modification time, to the file system's clock tick; the log is polled every "
      "50 ms only to learn that the line is there) "
      "and then ended; `attrib -h /s /d <tree>\\*` is Wine's own attrib on the same tree, started "
      "the same way in a console of its own and timed from the same moment (before its console "
      "starts) to its exit: the start of a console and of a Wine process is part of both "
      "programs' times. Every run "
      "that changes the tree is checked (the log's path, skip and result lines; the bits left on "
      "disk) and the tree's bits are put back before the next run. Figures are medians of the "
      "rounds named in the first column; peak memory is the largest of them.")
    w("")
    w(f"- **floor**: the pauses the design requires, {PAUSE_PER_FOLDER_MS} ms before each walked "
      f"folder and {PACING_PAUSE_MS} ms after every {PACING_EVERY} listed paths.")
    w("- **above floor**: wall time minus the floor: what the program and the platform cost beyond "
      "the required pauses (the start of the program included).")
    w("- **CPU**: user + system time of the program's own process; **all CPU**: of every process "
      "the run keeps busy (the program, Wine's server, console host and services, the console's "
      "tmux server), from the start to the end of the run.")
    w("- **wall s**: the median of the rounds; **min**: the fastest round; **spread**: how far the "
      f"slowest round is above the fastest, in bold above {SPREAD_LIMIT * 100:.0f} %.")
    w("- **ratio**: *above floor* (of the median round) divided by attrib's fastest round on the "
      "same tree and the same Wine side: attrib's slower levels never flatter the ratio.")
    w("- **peak**: the resident set high-water mark (VmHWM) of the program's Linux process"
      + (" (for the 32-bit side that process is qemu running Wine, so its emulator's own "
         "memory is included)" if emulated else "") + "; for attrib from `/usr/bin/time`.")
    w("")
    w("| tree | side | run | wall s | min s | spread | CPU s | all CPU s | floor s | above floor s | ratio to attrib | peak MiB | check |")
    w("|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|")
    for b in builds:
        samples = runs.get((0, b, "start"), [])
        s = summary(samples)
        if s:
            w(f"| empty folder ({len(samples)} rounds) | {b}-bit | zavero start | {fmt(s['wall'])} | "
              f"{fmt(s['min'])} | {spread_cell(s)} | "
              f"{fmt(s['cpu'])} | {fmt(s['all'])} | 0 | {fmt(s['wall'])} | | {fmt(s['peak'], 1)} | "
              f"{s['check']} |")
    for size in sizes:
        tree = trees[size]
        floor = floor_seconds(tree)
        for b in builds:
            attrib = summary(runs.get((size, b, "attrib"), []))
            n = len(runs.get((size, b, "list"), []))
            label = (f"{size:,} folders, {tree['entries']:,} entries, {tree['matches']:,} selected "
                     f"({n} round{'s' if n != 1 else ''})")
            for program, name in (("list", "zavero LIST"), ("clear", "zavero CLEAR")):
                s = summary(runs.get((size, b, program), []))
                if not s:
                    continue
                above = s["wall"] - floor
                ratio = above / attrib["min"] if attrib else None
                w(f"| {label} | {b}-bit | {name} | {fmt(s['wall'])} | {fmt(s['min'])} | {spread_cell(s)} | "
                  f"{fmt(s['cpu'])} | {fmt(s['all'])} | "
                  f"{fmt(floor)} | {fmt(above)} | {fmt(ratio, 2, 'x')} | {fmt(s['peak'], 1)} | {s['check']} |")
            if attrib:
                w(f"| {label} | {b}-bit | attrib -h /s /d | {fmt(attrib['wall'])} | {fmt(attrib['min'])} | "
                  f"{spread_cell(attrib)} | {fmt(attrib['cpu'])} | "
                  f"{fmt(attrib['all'])} | | | 1x | {fmt(attrib['peak'], 1)} | {attrib['check']} |")
    w("")
    wide = [f"{size:,} folders, {b}-bit {name} ({spread_cell(s_)})"
            for size in sizes for b in builds
            for program, name in (("list", "LIST"), ("clear", "CLEAR"), ("attrib", "attrib"))
            for s_ in [summary(runs.get((size, b, program), []))] if s_ and s_["spread"] > SPREAD_LIMIT]
    w("Rounds that spread more than 25 %: " + ("; ".join(wide) if wide else "none") + ".")
    off = [(size, b, r) for size in sizes for b in builds
           for r in runs.get((size, b, "attrib-off"), []) if r]
    if off:
        w("")
        w("attrib rounds more than 25 % slower than the fastest of their tree and side, run again "
          "and left out: " + "; ".join(f"{size:,} folders, {b}-bit: {fmt(r['wall'])} s"
                                        for size, b, r in off) + ".")
    w("")
    w("Load average during each tree's runs (start / end): "
      + "; ".join(f"{size:,} folders: {read_load(results, f'{size}-start')} / "
                  f"{read_load(results, f'{size}-end')}" for size in sizes) + ".")
    w("")

    placed = [(size, b) for size in sizes for b in builds if runs.get((size, b, "attrib-same"))]
    if placed:
        w("### Where attrib and Wine's server run")
        w("")
        w("attrib on the largest tree once more, with the processes of the Wine side placed three "
          "ways, turn about: *same*, attrib on the CPU of Wine's server and services (as every run "
          "above); *split*, attrib on the other CPU; *free*, all of them left to the scheduler. "
          "Under Wine nearly every call of a program is a round trip to the server, and here a "
          "wake-up on another CPU costs several times one on the same CPU; the scheduler's choice "
          "between the two is what gives attrib's time its levels when nothing is placed. The "
          "ratios above are to attrib placed as *same*.")
        w("")
        w("| tree | side | placed | rounds s | CPU s | all CPU s |")
        w("|---|---|---|---|---:|---:|")
        for size, b in placed:
            for place in ("same", "split", "free"):
                s_ = summary(runs.get((size, b, f"attrib-{place}"), []))
                if s_:
                    w(f"| {size:,} folders | {b}-bit | {place} | "
                      + ", ".join(fmt(x) for x in s_["walls"]) + f" | {fmt(s_['cpu'])} | {fmt(s_['all'])} |")
        w("")

    if len(sizes) >= 2:
        w("### Growth")
        w("")
        w("How each figure grows from one tree to the next; the entry counts grow by the factor in "
          "the first column, so a factor close to it means cost in proportion to the tree. "
          "*above floor and start* also leaves out the start of the program on an empty folder."
          + (" A tree run in one round gives a single sample, taken under whatever load the "
             "machine had then (see the load averages above)."
             if any(len(runs.get((size, b, "list"), [])) == 1 for size in sizes for b in builds) else ""))
        w("")
        w("| trees | entries x | side | run | wall x | above floor x | above floor and start x | CPU x | all CPU x | peak x |")
        w("|---|---:|---|---|---:|---:|---:|---:|---:|---:|")
        for small, large in zip(sizes, sizes[1:]):
            factor = trees[large]["entries"] / trees[small]["entries"]
            for b in builds:
                start = summary(runs.get((0, b, "start"), []))
                start_s = start["wall"] if start else 0
                for program, name in (("list", "zavero LIST"), ("clear", "zavero CLEAR"),
                                      ("attrib", "attrib")):
                    a = summary(runs.get((small, b, program), []))
                    c = summary(runs.get((large, b, program), []))
                    if not a or not c:
                        continue
                    if program == "attrib":
                        above = net = "–"
                    else:
                        fa, fc = floor_seconds(trees[small]), floor_seconds(trees[large])
                        above = fmt((c["wall"] - fc) / (a["wall"] - fa), 1)
                        net_a = a["wall"] - fa - start_s
                        net = fmt((c["wall"] - fc - start_s) / net_a, 1) if net_a > 0 else "–"
                    w(f"| {small:,} → {large:,} | {fmt(factor, 1)} | {b}-bit | {name} | "
                      f"{fmt(c['wall'] / a['wall'], 1)} | {above} | {net} | "
                      f"{fmt(c['cpu'] / a['cpu'], 1) if a['cpu'] else '–'} | "
                      f"{fmt(c['all'] / a['all'], 1) if a['all'] else '–'} | "
                      f"{fmt(c['peak'] / a['peak'], 2)} |")
        w("")

    if any(calls.values()):
        w("## Where the time goes under Wine: the platform calls")
        w("")
        w("`bench/platform_calls.cpp` times each call a run makes through the program's own seam, in "
          "the same kind of console (median of the rounds, microseconds per call). The listed folder "
          "holds 2,000 files. A run makes per walked folder: the pause, one listing (a pattern "
          "narrower than `*` adds a second), redirection off and on around it, the row naming the "
          "folder and, when the count changed since the last folder, the count row; per selected "
          "entry: a log line and a row, and "
          "in CLEAR mode a second log line, two attribute reads, a write, redirection off and on "
          "around each of the three; per skipped entry a log line. The buffer's size is read at the "
          "start and then once every 64 rows, a colour only when it changes. A row is a cursor move "
          "and a write through the seam; the Windows side makes them one positioned write "
          "(`WriteConsoleOutputW`) where the row's characters take one cell each, and moves the "
          "cursor only where something depends on it (the end of the drawing, a line written at the "
          "cursor, a change of colour or mode). A folder's count row goes out with the folder row "
          "below it in one such write, and the entry rows running down the band go out up to eight "
          "at a time: each waits for the next, or for any other console call. Rows that wait go "
          "out during the next pause, on a thread of the console side's own, while the program "
          "sleeps (and after 30 ms at most): the model counts a folder's rows as what they make "
          "its pause longer.")
        w("")
        names = []
        for b in builds:
            for n in calls[b]:
                if n not in names:
                    names.append(n)
        w("| call | " + " | ".join(f"{b}-bit µs" for b in builds) + " |")
        w("|---|" + "---:|" * len(builds))
        for n in names:
            if n.startswith("match list"):
                continue
            digits = 0 if n.startswith("entries") else 2 if max(calls[b].get(n) or 0 for b in builds) < 10 else 1
            w(f"| {n} | " + " | ".join(fmt(calls[b].get(n), digits) for b in builds) + " |")
        w("")
        if sizes:
            w("The same costs added up per run (*model*) beside the measured wall time:")
            w("")
            w("| tree | side | run | model s | measured s | model per folder ms | model per selected entry ms |")
            w("|---|---|---|---:|---:|---:|---:|")
            for size in sizes:
                for b in builds:
                    m = model(calls[b], trees[size])
                    if not m:
                        continue
                    start = summary(runs.get((0, b, "start"), []))
                    start_s = start["wall"] if start else 0
                    for program in ("list", "clear"):
                        s = summary(runs.get((size, b, program), []))
                        if not s:
                            continue
                        w(f"| {size:,} folders | {b}-bit | {program.upper()} | "
                          f"{fmt(m[program] + start_s)} | {fmt(s['wall'])} | {fmt(m['per_folder_ms'])} | "
                          f"{fmt(m['per_match_' + program + '_ms'])} |")
            w("")
            w("The model includes the start of the program on an empty folder. Under Wine each "
              "call is a round trip to Wine's server or console host (a console call also draws "
              "into the terminal); on Windows they cost a small fraction of that.")
            w("")

    scan = load_benchmarks(results, "zavero_scan_bench")
    support = load_benchmarks(results, "zavero_bench")
    if scan:
        def c(name, counter, scale=1e9):
            b = scan.get(name)
            return b[counter] * scale if b and counter in b else None

        w("## The program's own work (host, system calls free)")
        w("")
        w("`bench/scan_bench.cpp` (Google Benchmark, median of 3 repetitions, CPU time) runs the walk "
          "and the clearing or listing phase over `bench/costless_machine.h`, a machine whose system "
          "calls cost nanoseconds: what remains is the program's own work (work lists, path and row "
          "texts, number formatting, the console and log code above the seam). The pauses are "
          "counted, not slept. Tree: 10 subfolders per folder over *d* levels and 10 files per "
          "folder; a tenth of the files selected, one skip line per folder with subfolders; with a log.")
        w("")
        w("| benchmark | folders | entries | per folder | per entry | per selected entry |")
        w("|---|---:|---:|---:|---:|---:|")
        for name, b in scan.items():
            if name.startswith("BM_MatchList"):
                continue
            label = name + (f" ({b['label']})" if b.get("label") else "")
            w(f"| {label} | {fmt(b.get('folders'), 0)} | {fmt(b.get('entries'), 0)} | "
              f"{fmt(c(name, 'per_folder'), 0, ' ns')} | {fmt(c(name, 'per_entry'), 0, ' ns')} | "
              f"{fmt(c(name, 'per_match'), 0, ' ns')} |")
        w("")
        per_folder = next((b for n, b in scan.items() if n.startswith("BM_CallsPerFolder")), None)
        per_match = {("clear" if "CLEAR" in b.get("label", "") else "list"): b
                     for n, b in scan.items() if n.startswith("BM_Process/")}
        if per_folder or per_match:
            w("Platform calls the program makes, counted on the free machine (the model above "
              "multiplies these by the costs under Wine):")
            w("")
            kinds = [("listings", "listings"), ("switches", "redirection switches (off or on)"),
                     ("pauses", "pauses"), ("console", "console calls"),
                     ("log_lines", "log lines"), ("file_calls", "file calls (6 per log line)"),
                     ("attribute_calls", "attribute calls")]
            w("| calls | per walked folder | per selected entry, LIST | per selected entry, CLEAR |")
            w("|---|---:|---:|---:|")
            for key, name in kinds:
                cells = [per_folder.get(f"{key}_per_folder") if per_folder else None,
                         per_match["list"].get(f"{key}_per_match") if "list" in per_match else None,
                         per_match["clear"].get(f"{key}_per_match") if "clear" in per_match else None]
                w(f"| {name} | " + " | ".join(fmt(v, 3 if key == "pauses" else 2) for v in cells) + " |")
            w("")
            w("Per folder: a walk over folders with nothing to select or skip; per selected entry: "
              "the clearing or listing phase over a walk's 1,111 matches, so its one phase line and "
              "the pacing pauses are spread over them. A skipped entry costs one log line.")
            w("")
        whole = [n for n in scan if n.startswith("BM_ScanAndProcess")]
        worst = max((c(n, "per_entry") or 0) for n in whole) if whole else None
        w("- `BM_Scan/d/f`: the walk alone; `BM_Process`: the clearing or listing phase alone over the "
          "walk's matches; `BM_ScanAndProcess`: both, as a run does them. `BM_FreeMachineListingOnly` "
          "is the free machine's own share (the walk's listings with nothing done): it is what "
          "*free* costs. `BM_FakeScanAndProcess` runs the same on the unit tests' fake machine "
          "(call record off) and `BM_FakeListingOnly` is that fake's share of it: the fake, not the "
          "program, takes most of that time.")
        if worst is not None:
            verdict = "met" if worst < 1000 else "missed"
            w(f"- Goal: the program's own work below 1 µs per entry: **{verdict}**, at most "
              f"{worst:,.0f} ns per entry listed over whole runs (folders' own work included).")
        mem = next((b for n, b in scan.items() if n.startswith("BM_MatchListBytesForWalkPaths")), None)
        typical = next((b for n, b in support.items() if n.startswith("BM_MatchListBytesPerElement")), None)
        target = {b: calls[b] for b in builds if calls[b].get("match list: bytes per element over the path")}
        lines = []
        if typical:
            lines.append(f"{typical['bytes_per_element']:.1f} bytes per element for a 60-character path "
                         f"(+{typical['bytes_over_path']:.1f}) on the 64-bit host")
        if mem:
            lines.append(f"{mem['bytes_per_element']:.1f} bytes for the walk's own paths of "
                         f"{mem['path_bytes']:.1f} characters on average (+{mem['bytes_over_path']:.1f}, "
                         f"{mem['elements']:,.0f} elements)")
        for b, t in target.items():
            lines.append(f"{t['match list: bytes per element, 60-character path']:.1f} bytes for a "
                         f"60-character path (+{t['match list: bytes per element over the path']:.1f}) "
                         f"in the {b}-bit Windows build, measured under Wine")
        if lines:
            overs = [typical["bytes_over_path"]] if typical else []
            overs += [mem["bytes_over_path"]] if mem else []
            overs += [t["match list: bytes per element over the path"] for t in target.values()]
            verdict = "met" if max(overs) <= 32 else "missed"
            w(f"- Goal: memory per `MatchList` element at most the path's bytes + 32: **{verdict}**: "
              + "; ".join(lines) + ". Pool chunks of 64 KiB included.")
        w("")

    linux = ""
    if os.path.exists(output):
        text = open(output).read()
        at = text.find("\n## On Linux\n")
        if at >= 0:
            linux = "\n" + text[at + 1:]
    with open(output, "w") as f:
        f.write("\n".join(md).rstrip() + "\n" + linux)


if __name__ == "__main__":
    main()
