#!/usr/bin/env python3
"""The Linux side of tools/bench: the Linux zavero on an NTFS image (ntfs-3g) and on
Samba's store on this machine's disk, beside the system-call floor and find + getfattr.

  bench-linux.py --zavero PROG --floor PROG --work DIR --results DIR
                 [--sizes 200,2000:1] [--files 10] [--runs 3]

For every size two trees are made with tools/bench-tree.py: one in Samba's store
(user.DOSATTRIB in Wine's text form) in WORK/samba-SIZE, one on an NTFS image made
with mkntfs and mounted with ntfs-3g (system.ntfs_attrib_be) in WORK/ntfs-SIZE.mnt.
In each round, on each tree, these are timed from start to exit (the tree's bits put
back after every run that changes them, every run checked):
  zavero LIST and CLEAR with a log, standard output to a file;
  the floor (bench/attribute_floor.c): read, and clear, once plain and once with the
  program's pauses ("paced");
  find + getfattr + awk + setfattr, clearing the hidden bit by hand.
Each NTFS run, and the ntfs-3g process, are kept on one CPU: a FUSE round trip
between two CPUs costs several times one on the same CPU here, and where the
scheduler puts the two would otherwise decide the figures. Two extra runs a round
(the floor's read and zavero LIST) show them with the scheduler free.

Writes RESULTS/runs.jsonl (one run a line), tree-STORE-SIZE.json, commands.json,
load-* snapshots and, where strace is installed, syscalls-*.txt (strace -c -f of
one run of each program on the largest trees).
"""
import argparse
import collections
import importlib.util
import json
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

_spec = importlib.util.spec_from_file_location("bench_tree", os.path.join(ROOT, "tools", "bench-tree.py"))
bench_tree = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(bench_tree)
ATTRS = {"samba": "user.DOSATTRIB", "ntfs": "system.ntfs_attrib_be"}

# Clears the hidden bit by hand the way the attr tools allow in bulk: getfattr dumps the
# value of every entry find names, awk keeps the hidden-not-system ones with that bit
# taken off (bits 2 and 4 are in the value's last hex digit: 2, 3, a, b become 0, 1, 8, 9;
# Samba's text form ends in a quote), setfattr --restore writes them back.
EDIT_AWK = r'''index($0, "# file: ") == 1 { file = $0; next }
index($0, name "=") == 1 {
  q = ($0 ~ /"$/)
  i = index("23ab", substr($0, length($0) - q, 1))
  if (i) print file "\n" substr($0, 1, length($0) - 1 - q) substr("0189", i, 1) (q ? "\"" : "") "\n"
}'''


def find_command(store, tree):
    hexa = " -e hex" if store == "ntfs" else ""
    return (f"find '{tree}' -mindepth 1 -exec getfattr -h --absolute-names{hexa} -n {ATTRS[store]} {{}} + "
            f"2>/dev/null | awk -v name={ATTRS[store]} '{EDIT_AWK}' | setfattr -h --restore=-")


def load_snapshot(results, name):
    shutil.copyfile("/proc/loadavg", os.path.join(results, f"load-{name}"))


def cpu_ns_of(pid):
    """CPU time (ns) of every thread of pid so far."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError):
            pass
    return total


# System calls strace names by number only.
UNNAMED_SYSCALLS = {"syscall_0x1d0": "getxattrat"}


def write_syscall_table(trace, table):
    """The calls of an strace -f trace, counted, in the columns of strace -c's table."""
    counts = collections.Counter()
    with open(trace, errors="replace") as lines:
        for line in lines:
            m = re.match(r"^(?:\d+\s+)?([a-z_][a-z0-9_]*)\(", line)  # "<... resumed>" is counted once, above
            if m:
                counts[UNNAMED_SYSCALLS.get(m.group(1), m.group(1))] += 1
    with open(table, "w") as out:
        out.write("% time     seconds  usecs/call     calls    errors syscall\n")
        for name, calls in counts.most_common():
            out.write(f"  0.00    0.000000           0 {calls:9d}         0 {name}\n")
        out.write(f"100.00    0.000000           0 {sum(counts.values()):9d}         0 total\n")


class NtfsImage:
    """An image made with mkntfs and mounted with ntfs-3g for the duration of a with."""

    def __init__(self, image, mount_point, entries):
        self.image, self.mount_point, self.entries = image, mount_point, entries
        self.pid = None

    def __enter__(self):
        if os.path.ismount(self.mount_point):  # left by a run that was interrupted
            subprocess.run(["umount", self.mount_point], check=True)
        if os.path.exists(self.image):
            os.remove(self.image)
        os.makedirs(self.mount_point, exist_ok=True)
        with open(self.image, "wb") as f:  # sparse; an entry takes about 1 KiB of MFT
            f.truncate(max(64 << 20, self.entries * 4096))
        subprocess.run(["mkntfs", "-F", "-f", "-q", self.image], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["ntfs-3g", self.image, self.mount_point], check=True)
        self.pid = self._daemon()
        return self

    def __exit__(self, *exc):
        subprocess.run(["umount", self.mount_point], check=False)
        return False

    def _daemon(self):
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                args = open(f"/proc/{pid}/cmdline", "rb").read().split(b"\0")
            except OSError:
                continue
            if args and os.path.basename(args[0]) == b"ntfs-3g" and self.image.encode() in args:
                return int(pid)
        raise SystemExit("bench-linux: no ntfs-3g process for " + self.image)

    def pin(self, cpu):
        for task in os.listdir(f"/proc/{self.pid}/task"):
            os.sched_setaffinity(int(task), {cpu})


class Bench:
    def __init__(self, opts):
        self.o = opts
        self.cpu = max(os.sched_getaffinity(0))
        self.runs = open(os.path.join(opts.results, "runs.jsonl"), "w")

    def run(self, argv, out, cpu=None, daemon=None, shell=False):
        """Runs argv to its exit: wall, user, sys, peak RSS, the file system's CPU, status.

        The command starts through /usr/bin/time, which only reports the peak: a child
        forked from this script would count this script's own memory as its peak. Wall
        and CPU come from this script's wait (time's own share is a millisecond)."""
        def pin():
            if cpu is not None:
                os.sched_setaffinity(0, {cpu})
        command = ["bash", "-c", argv] if shell else argv
        peak_file = out + ".peak"
        before = cpu_ns_of(daemon) if daemon else 0
        with open(out, "wb") as stdout, open(out + ".err", "wb") as stderr:
            t0 = time.perf_counter()
            child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak_file, *command],
                                     stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr,
                                     preexec_fn=pin)
            _, status, usage = os.wait4(child.pid, 0)
            t1 = time.perf_counter()
            child.returncode = os.waitstatus_to_exitcode(status)
        with open(peak_file) as f:
            peak = int(f.read().split()[-1])
        return {"wall": t1 - t0, "user": usage.ru_utime, "sys": usage.ru_stime,
                "fs_cpu": (cpu_ns_of(daemon) - before) / 1e9 if daemon else 0.0,
                "peak_kb": peak, "status": child.returncode}

    def record(self, **fields):
        self.runs.write(json.dumps(fields) + "\n")
        self.runs.flush()
        print(f"   round {fields['round']}, {fields['store']}: {fields['program']:<26} "
              f"{fields['wall']:8.3f} s ({fields['check']})", flush=True)

    def one_tree(self, store, size, tree, daemon, rounds):
        o = self.o
        info = json.load(open(os.path.join(o.results, f"tree-{store}-{size}.json")))
        matches, skips, entries = info["matches"], info["skip_lines"], info["entries"]
        before = bench_tree.count(tree)
        cleared = dict(before, **{"0x2": 0, "0x0": before["0x0"] + before["0x2"]})
        cpu = self.cpu if store == "ntfs" else None
        pid = daemon.pid if daemon else None
        scratch = os.path.join(o.work, f"out-{store}-{size}")
        os.makedirs(scratch, exist_ok=True)
        log = os.path.join(scratch, "zavero.log")
        out = os.path.join(scratch, "stdout")

        def disk_check(expected):
            now = bench_tree.count(tree)
            return "" if now == expected else f"disk:{json.dumps(now, separators=(',', ':'))}"

        def lines(path):
            with open(path, encoding="utf-8", errors="replace") as f:
                return f.read().splitlines()

        def check_zavero(mode, m):
            problems = []
            if m["status"] != 0:
                problems.append(f"status:{m['status']}")
            got = lines(out)
            want_suffix = "\t...sucsess!" if mode == "CLEAR" else ""
            if len(got) != matches or any(not s.endswith(want_suffix) for s in got):
                problems.append(f"stdout:{len(got)}/{matches}")
            logged = lines(log)
            paths = sum(1 for s in logged if s.startswith("   ") and not s.startswith("    "))
            skipped = sum(1 for s in logged if s.startswith(" skipped "))
            ok = sum(1 for s in logged if s == "     ...sucsess!")
            if (paths, skipped) != (matches, skips) or (mode == "CLEAR" and ok != matches):
                problems.append(f"log:{paths}/{matches},{skipped}/{skips},{ok}")
            problems.append(disk_check(cleared if mode == "CLEAR" else before))
            return ";".join(p for p in problems if p) or "ok"

        def check_floor(clear, m):
            problems = [] if m["status"] == 0 else [f"status:{m['status']}"]
            counts = " ".join(lines(out)[:1])
            want = f"{entries} {matches} {matches if clear else 0}"
            if counts != want:
                problems.append(f"counts:{counts}/{want}")
            problems.append(disk_check(cleared if clear else before))
            return ";".join(p for p in problems if p) or "ok"

        def check_find(m):
            problems = [] if m["status"] == 0 else [f"status:{m['status']}"]
            problems.append(disk_check(cleared))
            return ";".join(p for p in problems if p) or "ok"

        plan = [
            ("zavero LIST", [o.zavero, "LIST", log, tree], cpu, lambda m: check_zavero("LIST", m), False),
            ("zavero CLEAR", [o.zavero, "CLEAR", log, tree], cpu, lambda m: check_zavero("CLEAR", m), True),
            ("floor read", [o.floor, store, "read", tree], cpu, lambda m: check_floor(False, m), False),
            ("floor read, paced", [o.floor, store, "read", tree, "paced"], cpu,
             lambda m: check_floor(False, m), False),
            ("floor clear", [o.floor, store, "clear", tree], cpu, lambda m: check_floor(True, m), True),
            ("floor clear, paced", [o.floor, store, "clear", tree, "paced"], cpu,
             lambda m: check_floor(True, m), True),
            ("find + getfattr/setfattr", find_command(store, tree), cpu, check_find, True),
        ]
        if store == "ntfs":
            plan += [
                ("floor read, unpinned", [o.floor, store, "read", tree], None,
                 lambda m: check_floor(False, m), False),
                ("zavero LIST, unpinned", [o.zavero, "LIST", log, tree], None,
                 lambda m: check_zavero("LIST", m), False),
            ]

        # One untimed walk first: every run then finds the tree in the caches.
        self.run([o.floor, store, "read", tree], out, cpu=cpu)
        load_snapshot(o.results, f"{store}-{size}-start")
        for r in range(1, rounds + 1):
            for name, argv, on_cpu, check, changes in plan:
                m = self.run(argv, out, cpu=on_cpu, daemon=pid, shell=isinstance(argv, str))
                verdict = check(m)
                self.record(size=size, store=store, program=name, round=r, check=verdict, **m)
                if changes:
                    bench_tree.reset(tree)
        load_snapshot(o.results, f"{store}-{size}-end")

        if o.syscalls and shutil.which("strace"):
            for name, argv, on_cpu, _check, changes in plan:
                if name not in ("zavero LIST", "zavero CLEAR", "floor read", "floor clear"):
                    continue
                table = os.path.join(o.results, f"syscalls-{store}-{size}-{name.replace(' ', '_').replace(',', '')}.txt")
                # A whole trace, counted here: strace -c leaves out the calls it has no name
                # for (getxattrat, Linux 6.13, is syscall_0x1d0 to strace 6.1).
                trace = table + ".trace"
                self.run(["strace", "-f", "-qq", "-o", trace, *argv], out, cpu=on_cpu)
                write_syscall_table(trace, table)
                os.remove(trace)
                if changes:
                    bench_tree.reset(tree)

    def main(self):
        o = self.o
        commands = {"find": {s: find_command(s, "TREE") for s in ATTRS},
                    "pinned_cpu": self.cpu, "cpus": sorted(os.sched_getaffinity(0))}
        json.dump(commands, open(os.path.join(o.results, "commands.json"), "w"), indent=1)
        sizes = o.sizes.split(",")
        for n, entry in enumerate(sizes):
            size, _, rounds = entry.partition(":")
            size, rounds = int(size), int(rounds or o.runs)
            o.syscalls = n == len(sizes) - 1

            samba = os.path.join(o.work, f"samba-{size}")
            shutil.rmtree(samba, ignore_errors=True)
            if os.path.exists(samba + ".marks"):
                os.remove(samba + ".marks")
            print(f"== Samba's store on this disk: {size} folders x {o.files} files: {samba}", flush=True)
            info = bench_tree.make(samba, size, o.files, "samba")
            json.dump(info, open(os.path.join(o.results, f"tree-samba-{size}.json"), "w"))
            self.one_tree("samba", size, samba, None, rounds)

            mount_point = os.path.join(o.work, f"ntfs-{size}.mnt")
            print(f"== NTFS image through ntfs-3g: {size} folders x {o.files} files: {mount_point}",
                  flush=True)
            with NtfsImage(os.path.join(o.work, f"ntfs-{size}.img"), mount_point,
                           info["entries"]) as image:
                tree = os.path.join(mount_point, "tree")
                info = bench_tree.make(tree, size, o.files, "ntfs")
                json.dump(info, open(os.path.join(o.results, f"tree-ntfs-{size}.json"), "w"))
                image.pin(self.cpu)
                self.one_tree("ntfs", size, tree, image, rounds)
        self.runs.close()


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--zavero", required=True)
    p.add_argument("--floor", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--results", required=True)
    p.add_argument("--sizes", default="200,2000")
    p.add_argument("--files", type=int, default=10)
    p.add_argument("--runs", type=int, default=3)
    o = p.parse_args()
    for path in ("zavero", "floor"):
        setattr(o, path, os.path.abspath(getattr(o, path)))
    o.work, o.results = os.path.abspath(o.work), os.path.abspath(o.results)
    os.makedirs(o.work, exist_ok=True)
    os.makedirs(o.results, exist_ok=True)
    Bench(o).main()


if __name__ == "__main__":
    main()
