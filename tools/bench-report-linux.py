#!/usr/bin/env python3
"""Writes the Linux part of docs/benchmarks.md from the results folder of tools/bench-linux.py.

  bench-report-linux.py RESULTS OUTPUT [BEFORE]

The Linux part is everything from the line "## On Linux" on; whatever stands before it in
OUTPUT (the Windows part, written by bench-report.py) is kept as it is.

RESULTS holds runs.jsonl, tree-STORE-SIZE.json, commands.json, machine.txt, the load-*
snapshots and, where strace ran, syscalls-STORE-SIZE-PROGRAM.txt. BEFORE is the same folder
of an earlier run (say of the commit before a change): its times go beside this run's.
"""
import glob
import json
import os
import re
import statistics
import sys

PAUSE_PER_FOLDER_MS = 5
PACING_PAUSE_MS = 1
PACING_EVERY = 251
GOAL = 1.5
PACED_GOAL = 1.3
MARK = "## On Linux"

STORES = {
    "samba": "Samba's store (user.DOSATTRIB) on ext4",
    "ntfs": "NTFS image through ntfs-3g",
}
SHORT = {"samba": "Samba's store", "ntfs": "NTFS"}
PROGRAMS = ["zavero LIST", "zavero CLEAR", "floor read", "floor read, paced", "floor clear",
            "floor clear, paced", "find + getfattr/setfattr", "floor read, unpinned",
            "zavero LIST, unpinned"]
# Each zavero run beside the floor that does the same work.
FLOOR_OF = {"zavero LIST": "floor read", "zavero CLEAR": "floor clear",
            "zavero LIST, unpinned": "floor read, unpinned",
            "floor read, paced": "floor read", "floor clear, paced": "floor clear",
            "find + getfattr/setfattr": "floor clear"}
PACED_OF = {"zavero LIST": "floor read, paced", "zavero CLEAR": "floor clear, paced"}
PAUSED = {"zavero LIST", "zavero CLEAR", "zavero LIST, unpinned", "floor read, paced",
          "floor clear, paced"}


def fmt(value, digits=2, unit=""):
    if value is None:
        return "–"
    return f"{value:,.{digits}f}{unit}"


def pauses_seconds(tree):
    """The pauses a run must make: one per walked folder, one per 251 listed paths."""
    return (tree["folders"] * PAUSE_PER_FOLDER_MS + tree["matches"] // PACING_EVERY * PACING_PAUSE_MS) / 1000


def load(results):
    runs = {}
    with open(os.path.join(results, "runs.jsonl")) as f:
        for line in f:
            r = json.loads(line)
            runs.setdefault((r["size"], r["store"], r["program"]), []).append(r)
    trees = {}
    for path in glob.glob(os.path.join(results, "tree-*-*.json")):
        _, store, size = os.path.basename(path)[:-5].split("-")
        trees[(int(size), store)] = json.load(open(path))
    return runs, trees


def summary(samples):
    if not samples:
        return None
    med = lambda key: statistics.median(s[key] for s in samples)
    return {"wall": med("wall"), "cpu": statistics.median(s["user"] + s["sys"] for s in samples),
            "fs_cpu": med("fs_cpu"), "peak": max(s["peak_kb"] for s in samples) / 1024,
            "n": len(samples), "walls": [s["wall"] for s in samples],
            "check": "ok" if all(s["check"] == "ok" for s in samples)
            else "; ".join(sorted({s["check"] for s in samples if s["check"] != "ok"}))}


def machine_info(results):
    info = {}
    with open(os.path.join(results, "machine.txt")) as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            info[key] = value
    return info


def read_load(results, name):
    path = os.path.join(results, f"load-{name}")
    return ", ".join(open(path).read().split()[:3]) if os.path.exists(path) else "–"


def syscall_counts(results, store, size):
    """{program: {syscall: calls}} from strace -c -f tables."""
    table = {}
    for path in glob.glob(os.path.join(results, f"syscalls-{store}-{size}-*.txt")):
        program = os.path.basename(path)[len(f"syscalls-{store}-{size}-"):-4].replace("_", " ")
        calls = {}
        for line in open(path):
            parts = line.split()
            if len(parts) >= 5 and re.match(r"^[\d.]+$", parts[0]) and parts[-1] != "total":
                calls[parts[-1]] = int(parts[3])
        table[program] = calls
    return table


class Figures:
    """Medians per tree and program, and the comparisons made from them."""

    def __init__(self, runs, trees):
        self.runs, self.trees = runs, trees
        self.keys = sorted(trees)

    def s(self, size, store, program):
        return summary(self.runs.get((size, store, program), []))

    def above(self, size, store, program, fastest=False):
        """Time above the pauses: of the median round, or of the fastest (a floor's slow round
        never flatters a ratio)."""
        s = self.s(size, store, program)
        if not s:
            return None
        wall = min(s["walls"]) if fastest else s["wall"]
        return wall - (pauses_seconds(self.trees[(size, store)]) if program in PAUSED else 0)

    def ratio_to_floor(self, size, store, program):
        floor = self.above(size, store, FLOOR_OF.get(program, ""), fastest=True)
        above = self.above(size, store, program)
        return above / floor if floor and above is not None and floor > 0 else None

    def ratio_to_paced(self, size, store, program):
        paced = PACED_OF.get(program)
        if not paced:
            return None
        p, a = self.above(size, store, paced, fastest=True), self.above(size, store, program)
        return a / p if p and a is not None and p > 0 else None


def before_and_after(w, before, fig):
    """Time above the pauses against the paced floor, in an earlier run (BEFORE) and in this one."""
    info = machine_info(before)
    old = Figures(*load(before))
    w("### Before and after")
    w("")
    w(f"The same measurement of commit {info.get('commit', '?')} ({info.get('started', '?')} to "
      f"{info.get('finished', '?')}, load average {read_load(before, 'start')} at its start), run "
      "on this machine just before this page's. Seconds above the pauses, median of the rounds, "
      "and the ratio to the paced floor's fastest round in the same run (goal: at most "
      f"{PACED_GOAL}x).")
    w("")
    w("| tree | run | before: above pauses s | ratio | after: above pauses s | ratio |")
    w("|---|---|---:|---:|---:|---:|")
    for size, store in fig.keys:
        for program in ("zavero LIST", "zavero CLEAR"):
            if (size, store) not in old.trees:
                continue
            w(f"| {size:,} folders, {SHORT[store]} | {program.split()[1]} | "
              f"{fmt(old.above(size, store, program), 3)} | {fmt(old.ratio_to_paced(size, store, program), 2)}x | "
              f"{fmt(fig.above(size, store, program), 3)} | {fmt(fig.ratio_to_paced(size, store, program), 2)}x |")
    w("")


def write(results, before=None):
    info = machine_info(results)
    runs, trees = load(results)
    fig = Figures(runs, trees)
    commands = json.load(open(os.path.join(results, "commands.json")))
    md = []
    w = md.append

    w(MARK)
    w("")
    w("Written by `tools/bench` from its Linux runs (`tools/bench --linux-only` refreshes this "
      "part alone and keeps the rest of the page). The Linux zavero, built in Release as the "
      "`linux` preset builds it, on folder trees in the two places Linux keeps DOS attributes "
      "that this machine can mount: Samba's store on its own disk and an NTFS image through "
      "ntfs-3g (FUSE).")
    w("")
    w("### Machine and run")
    w("")
    w(f"- Date: {info.get('started', '?')} to {info.get('finished', '?')}")
    w(f"- Command: `{info.get('command', '?')}` at commit {info.get('commit', '?')}")
    w(f"- CPU: {info.get('cpu', '?')}, {info.get('cores', '?')} cores, {info.get('memory', '?')}; "
      f"{info.get('os', '?')}, {info.get('kernel', '?')}; {info.get('host_compiler', '?')}")
    w(f"- File systems: {info.get('disk', '?')} (Samba's store); ntfs-3g {info.get('ntfs3g', '?')} "
      f"on an image file on that disk; getfattr/setfattr from attr {info.get('attr', '?')}")
    w(f"- Load average (1, 5, 15 min) at the start: {read_load(results, 'start')}; at the end: "
      f"{read_load(results, 'end')}. The machine has {info.get('cores', '?')} cores shared with "
      "other work, so wall times carry that load; CPU times are steadier.")
    w(f"- Every NTFS run, and the ntfs-3g process, run on one CPU (CPU {commands.get('pinned_cpu')}): "
      "each attribute call is a round trip from the program to ntfs-3g, and on this virtual "
      "machine a round trip between two CPUs costs several times one on the same CPU, so "
      "where the scheduler happens to put the two processes would otherwise decide the "
      "figures. The *unpinned* rows show the floor's read and zavero LIST with the scheduler free.")
    w("")

    # ---------------------------------------------------------------- in short
    lines, to_floor, to_paced, pause_costs = [], [], [], []
    for size, store in fig.keys:
        tree = trees[(size, store)]
        parts = []
        for program in ("zavero LIST", "zavero CLEAR"):
            ratio, paced = fig.ratio_to_floor(size, store, program), fig.ratio_to_paced(size, store, program)
            if ratio is None:
                continue
            to_floor.append(ratio)
            if paced is not None:
                to_paced.append(paced)
            parts.append(f"{program.split()[1]} {fmt(fig.above(size, store, program), 2)} s above its "
                         f"{fmt(pauses_seconds(tree), 2)} s of pauses: {fmt(ratio, 1)}x the floor "
                         f"({fmt(fig.above(size, store, FLOOR_OF[program], fastest=True), 2)} s at its fastest), "
                         f"{fmt(paced, 2)}x the paced floor ("
                         f"{fmt(fig.above(size, store, PACED_OF[program], fastest=True), 2)} s above the pauses)")
        sentence = "; ".join(parts) + "."
        by_hand = fig.s(size, store, "find + getfattr/setfattr")
        clear = fig.s(size, store, "zavero CLEAR")
        if by_hand and clear:
            sentence += (f" find + getfattr/setfattr clears the tree in {fmt(by_hand['wall'], 2)} s: "
                         f"zavero CLEAR takes {fmt(clear['wall'] / by_hand['wall'], 1)}x that with its "
                         f"pauses, {fmt(fig.above(size, store, 'zavero CLEAR') / by_hand['wall'], 1)}x "
                         "without them.")
        if parts:
            lines.append(f"- {size:,} folders, {STORES[store]}: " + sentence)
        paced, floor = fig.above(size, store, "floor read, paced"), fig.s(size, store, "floor read")
        if paced is not None and floor:
            pause_costs.append((size, store, paced - floor["wall"]))
    if lines:
        w("### In short")
        w("")
        span = lambda values, digits: (fmt(min(values), digits) + "x" if min(values) == max(values)
                                       else f"{fmt(min(values), digits)}x to {fmt(max(values), digits)}x")
        met = max(to_floor) <= GOAL
        text = (f"The goal, zavero's time above its required pauses within {GOAL}x the system-call "
                f"floor, is **{'met' if met else 'missed'}**: {span(to_floor, 1)} the floor. ")
        if pause_costs:
            text += ("The floor walks without pausing. The same walk with the program's pauses, slept "
                     "as the program sleeps them (the *paced floor*), takes "
                     + ", ".join(f"{fmt(c, 2)} s ({size:,} folders, {SHORT[store]})"
                                 for size, store, c in pause_costs)
                     + " longer than the floor beyond the pauses' own length: what a sleep costs "
                       "beyond its length (it ends a little late, and the process, and ntfs-3g, "
                       "start again on an idle CPU), once per folder. ")
        if to_paced:
            text += (f"Beside the paced floor, which pays that too, zavero's time above the pauses is "
                     f"{span(to_paced, 2)} (the goal there, at most {PACED_GOAL}x: "
                     f"**{'met' if max(to_paced) <= PACED_GOAL else 'missed'}**).")
        w(text)
        w("")
        md.extend(lines)
        w("")
        if before is not None:
            before_and_after(w, before, fig)

    # ---------------------------------------------------------------- table
    w("### zavero beside the system-call floor and find")
    w("")
    first = trees[fig.keys[0]] if fig.keys else {}
    w(f"Each tree: *F* folders below the start folder, each folder (the start folder too) with "
      f"{first.get('files_per_folder', '?')} files; every tenth entry hidden, every fiftieth hidden + "
      "system, as on the Windows side (Samba's store: the text values `0x2` and `0x6`; NTFS: those "
      "bits added to the entry's word; NTFS files hold one byte). Every run is timed from its "
      "start to its exit with its output in a file, and checked: its exit status, zavero's "
      "output lines and log (path, skip and result lines), the floor's counts, and the bits on "
      "disk afterwards; the tree's bits are put back after every run that changes them. Figures "
      "are medians of the rounds named in the first column; peak memory is the largest of them.")
    w("")
    w("- **zavero LIST / CLEAR**: `zavero LIST|CLEAR <log> <tree>`, standard output to a file.")
    w("- **floor read / clear** (`bench/attribute_floor.c`): a readdir walk that reads every "
      "entry's attribute value once (`lgetxattr` of the attribute zavero uses) and, to clear, "
      "writes the value of every selected entry once (hidden and not system, zavero's default "
      "masks): what any tool must do. **paced**: the same with zavero's pauses, slept the way "
      "zavero sleeps them.")
    w("- **find + getfattr/setfattr**: clearing by hand with the attr tools in bulk, exactly:")
    w("")
    for store in ("samba", "ntfs"):
        cmd = commands.get("find", {}).get(store)
        if cmd:
            w(f"  {STORES[store]}:")
            w("")
            w("  ```sh")
            for line in cmd.replace(" | ", " |\n  ").splitlines():
                w(f"  {line}")
            w("  ```")
            w("")
    w(f"- **pauses**: what the design requires, {PAUSE_PER_FOLDER_MS} ms before each walked folder and "
      f"{PACING_PAUSE_MS} ms after every {PACING_EVERY} listed paths; **above pauses**: wall time "
      "minus that.")
    w("- **to floor**: *above pauses* (the median round) divided by the wall time of the floor's "
      "fastest round for the same work (read for LIST, clear for CLEAR and find), so that a slow "
      f"round of the floor never flatters it; the goal is {GOAL}x at most. **to paced floor**: "
      "zavero's *above pauses* divided by the paced floor's, in its fastest round.")
    w("- **CPU**: user + system time of the command (for find, of every process of the pipeline); "
      "**ntfs-3g CPU**: of the file system's process meanwhile; **peak**: the largest resident "
      "set of the command (GNU time's `%M`).")
    w("")
    w("| tree | run | wall s | CPU s | ntfs-3g CPU s | pauses s | above pauses s | to floor | "
      "to paced floor | peak MiB | check |")
    w("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---|")
    for size, store in fig.keys:
        tree = trees[(size, store)]
        for program in PROGRAMS:
            s = fig.s(size, store, program)
            if not s:
                continue
            label = (f"{size:,} folders, {STORES[store]}: {tree['entries']:,} entries, "
                     f"{tree['matches']:,} selected ({s['n']} round{'s' if s['n'] != 1 else ''})")
            paused = program in PAUSED
            ratio = fig.ratio_to_floor(size, store, program)
            w(f"| {label} | {program} | {fmt(s['wall'], 3)} | {fmt(s['cpu'], 3)} | "
              f"{fmt(s['fs_cpu'], 3) if store == 'ntfs' else ''} | "
              f"{fmt(pauses_seconds(tree), 3) if paused else ''} | "
              f"{fmt(fig.above(size, store, program), 3)} | "
              f"{fmt(ratio, 1, 'x') if program in FLOOR_OF else ''} | "
              f"{fmt(fig.ratio_to_paced(size, store, program), 2, 'x') if program in PACED_OF else ''} | "
              f"{fmt(s['peak'], 1)} | {s['check']} |")
    w("")
    w("Load average (1, 5, 15 min) at the start → the end of each tree's rounds: "
      + "; ".join(f"{size:,} folders, {SHORT[store]}: {read_load(results, f'{store}-{size}-start')} → "
                  f"{read_load(results, f'{store}-{size}-end')}" for size, store in fig.keys) + ".")
    w("")

    # ---------------------------------------------------------------- where the time goes
    counted = [(size, store) for size, store in fig.keys if syscall_counts(results, store, size)]
    w("### Where the time goes on Linux")
    w("")
    for size, store in fig.keys:
        tree = trees[(size, store)]
        floor, paced = fig.s(size, store, "floor read"), fig.above(size, store, "floor read, paced")
        listing = fig.above(size, store, "zavero LIST")
        if not floor or paced is None or listing is None:
            continue
        w(f"- {size:,} folders, {STORES[store]}: the pauses cost {fmt(paced - floor['wall'], 3)} s beyond "
          f"their {fmt(pauses_seconds(tree), 2)} s ({fmt((paced - floor['wall']) / max(tree['folders'], 1) * 1e6, 0)} µs "
          f"per walked folder: the paced floor minus the floor); zavero LIST then takes "
          f"{fmt(listing - paced, 3)} s more than the paced floor "
          f"({fmt((listing - paced) / tree['entries'] * 1e6, 1)} µs per entry), CLEAR "
          f"{fmt(fig.above(size, store, 'zavero CLEAR') - fig.above(size, store, 'floor clear, paced'), 3)} s "
          "more than the paced clearing floor.")
    w("")
    if counted:
        w("System calls per run, counted from a whole `strace -f` trace of one extra run of each "
          "(times under strace are not comparable; the counts are; `getxattrat`, which strace "
          "6.1 knows only by number, is counted by name). The walk looks at each entry by its "
          "name in the folder it holds (one `statx`) and reads its attribute value from there "
          "(`getxattrat` where the kernel has it, else through the folder's /proc link); a "
          "clearing zavero opens each selected entry once, checked, and reads, writes and checks "
          "its value through that descriptor; it writes each log line with its own open, size, "
          "seek, write and close, as the log's design asks, and one line of standard output per "
          "selected entry.")
        w("")
        for size, store in counted:
            table = syscall_counts(results, store, size)
            programs = [p for p in ("zavero LIST", "zavero CLEAR", "floor read", "floor clear") if p in table]
            names = sorted({n for p in programs for n in table[p]},
                           key=lambda n: (-max(table[p].get(n, 0) for p in programs), n))
            least = max(trees[(size, store)]["matches"] // 2, 1)
            names = [n for n in names if max(table[p].get(n, 0) for p in programs) >= least]
            w(f"{size:,} folders, {STORES[store]} ({trees[(size, store)]['entries']:,} entries, "
              f"{trees[(size, store)]['matches']:,} selected):")
            w("")
            w("| system call | " + " | ".join(programs) + " |")
            w("|---|" + "---:|" * len(programs))
            for n in names:
                w(f"| {n} | " + " | ".join(f"{table[p].get(n, 0):,}" for p in programs) + " |")
            w("| all calls | " + " | ".join(f"{sum(table[p].values()):,}" for p in programs) + " |")
            w("")
    return "\n".join(md).rstrip() + "\n"


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    results, output = sys.argv[1], sys.argv[2]
    linux = write(results, sys.argv[3] if len(sys.argv) == 4 else None)
    before = "# Benchmarks\n\n"
    if os.path.exists(output):
        text = open(output).read()
        at = text.find("\n" + MARK + "\n")
        before = text if at < 0 else text[:at + 1]
        before = before.rstrip("\n") + "\n\n"
    with open(output, "w") as f:
        f.write(before + linux)


if __name__ == "__main__":
    main()
