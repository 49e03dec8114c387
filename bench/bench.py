#!/usr/bin/env python3
"""The project's benchmark: builds the benchmark programs, builds the corpora
once into a cache folder, times every operation against the usual tool in
the same run and prints one table. bench/run.sh is the entry point; see
bench/README.md for the rows and the measures.
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
CORPUS = os.path.join(HERE, "corpus")
GROUPS = ("unzip", "zip", "cab", "extract")
TARGETS = {
    "unzip": ["unzip_bench"],
    "zip": ["zipbench", "dzips32", "unzip_bench"],
    "cab": ["cab_bench_write", "cab_bench_extract"],
    "extract": ["extract_bench"],
}
SEED = 1
# Every corpus file gets this modification time, so archives of the corpus
# are the same bytes from one cache to the next.
FIXED_MTIME = 1704110400  # 2024-01-01 12:00 UTC
BIG_NAME = "big.bin"  # the single file, alone in its folder


class BenchError(Exception):
    pass


def log(text):
    sys.stderr.write(text + "\n")
    sys.stderr.flush()


SKIPPED = []


def skipped(text):
    """A row that cannot run; said at once and again under the table."""
    SKIPPED.append(text)
    log("skipped: " + text)


# ---------------------------------------------------------------------------
# Building


def build_targets(build_dir, groups):
    if not os.path.exists(os.path.join(build_dir, "build.ninja")):
        log("configuring %s (Release) ..." % build_dir)
        subprocess.run(["cmake", "-S", REPO, "-B", build_dir, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release"], check=True, stdout=subprocess.DEVNULL)
    targets = sorted({t for g in groups for t in TARGETS[g]})
    log("building %s ..." % " ".join(targets))
    env = dict(os.environ)
    env.setdefault("CCACHE_BASEDIR", os.path.dirname(REPO))
    jobs = os.environ.get("BRX_BENCH_JOBS", str(os.cpu_count() or 2))
    r = subprocess.run(["cmake", "--build", build_dir, "-j", jobs, "--target"] + targets,
                       env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if r.returncode != 0:
        sys.stderr.write(r.stdout[-6000:])
        raise BenchError("build failed")


# ---------------------------------------------------------------------------
# Corpora, kept in the cache with a stamp naming what made them


def file_digest(*paths):
    h = hashlib.sha256()
    for p in paths:
        with open(p, "rb") as f:
            h.update(f.read())
    return h.hexdigest()


def fix_times(path):
    if os.path.isfile(path):
        os.utime(path, (FIXED_MTIME, FIXED_MTIME))
        return
    for folder, dirs, files in os.walk(path):
        for name in files + dirs:
            os.utime(os.path.join(folder, name), (FIXED_MTIME, FIXED_MTIME))
    os.utime(path, (FIXED_MTIME, FIXED_MTIME))


def remove(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.remove(path)


def cached(path, stamp, make, what):
    """Returns path after making it with make(tmp) unless its stamp matches."""
    stamp_file = path + ".stamp"
    if os.path.exists(path) and os.path.exists(stamp_file):
        with open(stamp_file) as f:
            if f.read() == stamp:
                return path
    log("building %s ..." % what)
    t0 = time.monotonic()
    tmp = path + ".part"
    remove(tmp)
    remove(path)
    remove(stamp_file)
    try:
        make(tmp)
    except subprocess.CalledProcessError as e:
        remove(tmp)
        raise BenchError("building %s failed (%s exited with %d)" % (what, e.cmd[0], e.returncode))
    os.rename(tmp, path)
    with open(stamp_file, "w") as f:
        f.write(stamp)
    log("  done in %.0f s" % (time.monotonic() - t0))
    return path


def stamp_of(path):
    with open(path + ".stamp") as f:
        return f.read()


class Corpora:
    def __init__(self, cache, tree_mb, entries, file_mb):
        self.cache = cache
        self.tree_mb, self.entries, self.file_mb = tree_mb, entries, file_mb
        self.memo = {}

    def _once(self, key, fn):
        if key not in self.memo:
            self.memo[key] = fn()
        return self.memo[key]

    def _generated(self, name, script, args, what, file_name=None):
        gen = os.path.join(CORPUS, script)
        stamp = "%s %s seed %d\n%s\n" % (script, " ".join(args), SEED,
                                         file_digest(gen, os.path.join(CORPUS, "make_text_tree.py")))

        def make(tmp):
            out = tmp
            if file_name:
                os.makedirs(tmp)
                out = os.path.join(tmp, file_name)
            subprocess.run([sys.executable, gen, out] + args + [str(SEED)], check=True)
            fix_times(tmp)

        return cached(os.path.join(self.cache, name), stamp, make, what)

    def tree(self):
        return self._once("tree", lambda: self._generated(
            "tree-%gmb-s%d" % (self.tree_mb, SEED), "make_text_tree.py", [str(self.tree_mb)],
            "a %g MB text tree" % self.tree_mb))

    def many(self):
        return self._once("many", lambda: self._generated(
            "many-%d-s%d" % (self.entries, SEED), "make_many_files.py", [str(self.entries)],
            "a tree of %d small files" % self.entries))

    def big(self):
        """A folder holding the single file BIG_NAME."""
        return self._once("big", lambda: self._generated(
            "big-%gmb-s%d" % (self.file_mb, SEED), "make_big_file.py", [str(self.file_mb)],
            "a %g MB single file" % self.file_mb, BIG_NAME))

    def _zipped(self, key, source, options):
        """The corpus zipped by zip with options, or None without zip."""
        def make():
            if not shutil.which("zip"):
                return None
            src = source()
            name = os.path.basename(src) + ".zip%s.zip" % options.replace(" ", "")

            def run(tmp):
                subprocess.run(["zip", "-r", "-q", "-X"] + options.split() +
                               [os.path.abspath(tmp) + ".zip", "."], cwd=src, check=True)
                os.rename(tmp + ".zip", tmp)

            return cached(os.path.join(self.cache, name), stamp_of(src) + "zip -X " + options,
                          run, "zip %s of %s" % (options, os.path.basename(src)))

        return self._once(key, make)

    def tree_zip9(self):
        """The text tree as written by zip -9."""
        return self._zipped("tree_zip9", self.tree, "-9")

    def many_zip(self):
        """The small files as written by zip at its default level."""
        return self._zipped("many_zip", self.many, "-6")


# ---------------------------------------------------------------------------
# Measuring


class Runner:
    def __init__(self, env, scratch):
        self.env = env
        self.scratch = scratch

    def once(self, cmd, cwd=None):
        """Runs cmd; returns (wall, cpu) seconds, cpu being the child's user + system."""
        with tempfile.TemporaryFile(dir=self.scratch) as err:
            t0 = time.perf_counter()
            p = subprocess.Popen(cmd, cwd=cwd, env=self.env, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=err)
            _, status, usage = os.wait4(p.pid, 0)
            wall = time.perf_counter() - t0
            p.returncode = os.waitstatus_to_exitcode(status)
            if p.returncode != 0:
                err.seek(0)
                text = err.read().decode("utf-8", "replace")[-2000:]
                raise BenchError("%s failed with %d: %s" % (" ".join(cmd[:3]), p.returncode,
                                                           text.strip()))
        return wall, usage.ru_utime + usage.ru_stime


class Side:
    """One program of a comparison: the command, an untimed preparation, and
    the file whose size is reported."""

    def __init__(self, cmd, cwd=None, prepare=None, output=None, tool=None):
        self.cmd, self.cwd, self.prepare, self.output = cmd, cwd, prepare, output
        self.tool = tool or os.path.basename(cmd[0])
        self.wall = self.cpu = None
        self.size = None

    def run(self, runner):
        if self.prepare:
            self.prepare()
        wall, cpu = runner.once(self.cmd, self.cwd)
        self.wall = wall if self.wall is None else min(self.wall, wall)
        self.cpu = cpu if self.cpu is None else min(self.cpu, cpu)
        if self.output:
            self.size = os.path.getsize(self.output)

    def time(self, measure):
        return self.wall if measure == "wall" else self.cpu


class Row:
    """One comparison. before() runs first (untimed), verify() after the runs;
    with reuse_theirs the other side is a measurement made for an earlier row
    (made here when that row did not run); needs names an input an earlier
    row makes."""

    def __init__(self, label, measure, ours, theirs, time_goal=None, size_goal=None,
                 before=None, verify=None, reuse_theirs=False, needs=None):
        self.label, self.measure = label, measure
        self.ours, self.theirs = ours, theirs
        self.time_goal, self.size_goal = time_goal, size_goal
        self.before, self.verify = before, verify
        self.reuse_theirs, self.needs = reuse_theirs, needs


def remove_and(path):
    return lambda: remove(path)


def warm(path):
    """Reads path into the page cache so the first program measured is not
    charged for the disk."""
    if os.path.isfile(path):
        paths = [path]
    else:
        paths = [os.path.join(d, n) for d, _, files in os.walk(path) for n in files]
    for p in paths:
        with open(p, "rb") as f:
            while f.read(1 << 20):
                pass


def same_tree(a, b):
    r = subprocess.run(["diff", "-r", "-q", a, b], stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, text=True)
    if r.returncode != 0:
        raise BenchError("%s differs from %s: %s" % (b, a, r.stdout[:500]))


def same_file(a, b):
    if subprocess.run(["cmp", "-s", a, b]).returncode != 0:
        raise BenchError("%s differs from %s" % (b, a))


def archive_tests_ok(path):
    if shutil.which("unzip") and subprocess.run(["unzip", "-tqq", path]).returncode != 0:
        raise BenchError("unzip -t finds faults in %s" % path)


# ---------------------------------------------------------------------------
# The rows


def unzip_rows(c, bins, work):
    many = c.many_zip()
    tree = c.tree_zip9()
    if not many or not tree:
        skipped("unzip engine rows (zip, which writes their archives, is not installed)")
        return []
    bench = bins("unzip_bench")
    out_o, out_t = os.path.join(work, "x-ours"), os.path.join(work, "x-unzip")
    return [
        Row("unzip: list %s entries" % format(c.entries, ","), "cpu",
            Side([bench, "list", many]), Side(["unzip", "-Z1", many]), 1.0,
            before=lambda: warm(many)),
        Row("unzip: extract %g MB tree (zip -9)" % c.tree_mb, "wall",
            Side([bench, "extract", tree, out_o], prepare=remove_and(out_o)),
            Side(["unzip", "-q", "-o", tree, "-d", out_t], prepare=remove_and(out_t)), 0.5,
            before=lambda: warm(tree),
            verify=lambda: (same_tree(c.tree(), out_o), remove(out_o), remove(out_t))),
        Row("unzip: test %g MB tree" % c.tree_mb, "wall",
            Side([bench, "test", tree]), Side(["unzip", "-tq", tree]), 0.5),
    ]


def zip_rows(c, bins, work):
    rows = []
    tree = c.tree()
    zb = bins("zipbench")

    def out(name):
        return os.path.join(work, name + ".zip")

    for factor, level7, goal in ((9, 9, 0.30), (6, 5, 0.35)):
        ours = out("ours%d" % factor)
        mine = Side([zb, "add", ours, tree, str(factor)], prepare=remove_and(ours), output=ours)
        zipped = out("zip%d" % factor)
        rows.append(Row("zip: %g MB tree, factor %d vs zip -%d" % (c.tree_mb, factor, factor),
                        "wall", mine,
                        Side(["zip", "-r", "-q", "-%d" % factor, zipped, "."], cwd=tree,
                             prepare=remove_and(zipped), output=zipped), goal, 1.0,
                        before=lambda: warm(tree),
                        verify=(lambda p: lambda: archive_tests_ok(p))(ours)))
        sz = out("7zz%d" % factor)
        # The measurement of ours in the row above serves here too.
        rows.append(Row("zip: %g MB tree, factor %d vs 7zz -mx=%d" % (c.tree_mb, factor, level7),
                        "wall", mine,
                        Side(["7zz", "a", "-tzip", "-mx=%d" % level7, sz, "."], cwd=tree,
                             prepare=remove_and(sz), output=sz), before=lambda: warm(tree)))
    many = c.many_zip()
    if many:
        with zipfile.ZipFile(many) as z:
            names = [i.filename for i in z.infolist() if not i.is_dir()]
        victim = names[len(names) // 2]
        d_o, d_t = out("del-ours"), out("del-zip")
        rows.append(Row("zip: delete 1 of %s entries" % format(c.entries, ","), "cpu",
                        Side([zb, "delete", d_o, victim],
                             prepare=lambda: shutil.copyfile(many, d_o), output=d_o),
                        Side(["zip", "-q", "-d", d_t, victim],
                             prepare=lambda: shutil.copyfile(many, d_t), output=d_t), 1.0,
                        before=lambda: warm(many), verify=lambda: archive_tests_ok(d_o)))
    else:
        skipped("zip: delete (zip, which writes its archive, is not installed)")
    big_dir = c.big()
    big = os.path.join(big_dir, BIG_NAME)
    b_o, b_t = out("big-ours"), out("big-zip")
    rows.append(Row("zip: %g MB file, factor 6 vs zip -6" % c.file_mb, "wall",
                    Side([zb, "add", b_o, big_dir, "6"], prepare=remove_and(b_o), output=b_o),
                    Side(["zip", "-q", "-6", b_t, BIG_NAME], cwd=big_dir,
                         prepare=remove_and(b_t), output=b_t),
                    before=lambda: warm(big), verify=lambda: archive_tests_ok(b_o)))
    x_o, x_t = os.path.join(work, "bx-ours"), os.path.join(work, "bx-unzip")
    rows.append(Row("unzip: extract the %g MB file (ours)" % c.file_mb, "cpu",
                    Side([bins("unzip_bench"), "extract", b_o, x_o], prepare=remove_and(x_o)),
                    Side(["unzip", "-q", "-o", b_o, "-d", x_t], prepare=remove_and(x_t)),
                    needs=b_o,
                    verify=lambda: (same_file(big, os.path.join(x_o, BIG_NAME)), remove(x_o),
                                    remove(x_t))))
    return rows


def cab_rows(c, bins, work):
    tree = c.tree()
    writer, reader = bins("cab_bench_write"), bins("cab_bench_extract")
    files = sorted(os.path.relpath(os.path.join(d, n), tree)
                   for d, _, names in os.walk(tree) for n in names)
    mszip, lzx, gcab = (os.path.join(work, n)
                        for n in ("ours-mszip.cab", "ours-lzx21.cab", "gcab.cab"))
    ours_mszip = Side([writer, mszip, tree, "mszip"], prepare=remove_and(mszip), output=mszip,
                      tool="our MSZIP")
    rows = [
        Row("cab: MSZIP %g MB tree vs gcab -c -z" % c.tree_mb, "cpu", ours_mszip,
            Side(["gcab", "-c", "-z", gcab] + files, cwd=tree, prepare=remove_and(gcab),
                 output=gcab), 1.0, 1.0, before=lambda: warm(tree)),
        # LZX against our own MSZIP cabinet, measured in the row above: the
        # goal is on size, the time ratio tells what the smaller size costs.
        Row("cab: LZX 21 vs our MSZIP", "cpu",
            Side([writer, lzx, tree, "lzx21"], prepare=remove_and(lzx), output=lzx),
            ours_mszip, None, 0.85, reuse_theirs=True),
    ]
    for cab, name in ((mszip, "MSZIP"), (lzx, "LZX 21")):
        x_o, x_t = os.path.join(work, "cx-ours"), os.path.join(work, "cx-cabextract")
        rows.append(Row("cab: extract our %s cabinet vs cabextract" % name, "cpu",
                        Side([reader, cab, x_o], prepare=remove_and(x_o)),
                        Side(["cabextract", "-q", "-d", x_t, cab], prepare=remove_and(x_t)),
                        1.0, needs=cab, before=(lambda p: lambda: warm(p))(cab),
                        verify=(lambda a, b: lambda: (same_tree(tree, a), same_tree(tree, b),
                                                      remove(a), remove(b)))(x_o, x_t)))
    return rows


def extract_rows(c, bins, work):
    tree = c.tree_zip9()
    if not tree:
        skipped("extract library row (zip, which writes its archive, is not installed)")
        return []
    eb = bins("extract_bench")
    x_o, x_t = os.path.join(work, "el-library"), os.path.join(work, "el-engine")
    return [
        Row("Extract vs engine: %g MB tree (zip -9)" % c.tree_mb, "cpu",
            Side([eb, "library", tree, x_o], prepare=remove_and(x_o), tool="Extract"),
            Side([eb, "engine", tree, x_t], prepare=remove_and(x_t), tool="dunzipS"), 1.05,
            before=lambda: warm(tree),
            verify=lambda: (same_tree(c.tree(), x_o), same_tree(c.tree(), x_t), remove(x_o),
                            remove(x_t))),
    ]


# ---------------------------------------------------------------------------
# The table


def fmt_size(n):
    return "-" if n is None else "%.2f MB" % (n / 1e6)


def fmt_ratio(a, b):
    return "-" if a is None or b is None or b == 0 else "%.2fx" % (a / b)


def goal_text(row):
    parts, met = [], True
    o, t = row.ours, row.theirs
    # Judged on the ratios as shown: the clocks do not resolve finer.
    if row.time_goal is not None:
        ratio = round(o.time(row.measure) / t.time(row.measure), 2)
        parts.append("t<=%.2f" % row.time_goal)
        met = met and ratio <= row.time_goal
    if row.size_goal is not None and o.size and t.size:
        parts.append("s<=%.2f" % row.size_goal)
        met = met and round(o.size / t.size, 2) <= row.size_goal
    if not parts:
        return "-"
    return " ".join(parts) + (" met" if met else " NOT MET")


def print_table(rows, runs, corpora, load_at_start):
    head = ("operation", "by", "ours s", "other", "other s", "ratio", "our size", "other size",
            "ratio", "goal")
    lines = [head]
    for r in rows:
        o, t = r.ours, r.theirs
        lines.append((r.label, r.measure, "%.3f" % o.time(r.measure), t.tool,
                      "%.3f" % t.time(r.measure), fmt_ratio(o.time(r.measure), t.time(r.measure)),
                      fmt_size(o.size), fmt_size(t.size), fmt_ratio(o.size, t.size) if o.size
                      and t.size else "-", goal_text(r)))
    widths = [max(len(l[i]) for l in lines) for i in range(len(head))]
    right = {2, 4, 5, 6, 7, 8}
    print("corpora: %s; best of %d run%s; load average %.1f at the start, %.1f at the end" % (
        corpora, runs, "" if runs == 1 else "s", load_at_start, os.getloadavg()[0]))
    print("by: cpu = user+system time of the process, wall = elapsed time; ratios are ours/other")
    for n, l in enumerate(lines):
        print("  ".join(v.rjust(w) if i in right else v.ljust(w)
                        for i, (v, w) in enumerate(zip(l, widths))).rstrip())
        if n == 0:
            print("  ".join("-" * w for w in widths))
    walls = [r for r in rows if r.measure == "wall"]
    if walls:
        print("cpu time (user+system) of the wall-time rows:")
        for r in walls:
            print("  %s: ours %.3f s, %s %.3f s, ratio %s" % (
                r.label, r.ours.cpu, r.theirs.tool, r.theirs.cpu, fmt_ratio(r.ours.cpu,
                                                                         r.theirs.cpu)))


# ---------------------------------------------------------------------------


def main(argv):
    ap = argparse.ArgumentParser(prog="bench/run.sh", description=__doc__.split("\n")[0])
    ap.add_argument("--quick", action="store_true",
                    help="small corpora (20 MB tree, 10,000 entries, 100 MB file)")
    ap.add_argument("--only", action="append", default=[],
                    help="run one group only: %s (repeatable, or comma-separated)" %
                    ", ".join(GROUPS))
    ap.add_argument("--runs", type=int, default=3, help="runs per program; the best counts")
    ap.add_argument("--build", default=os.path.join(REPO, "build-bench"),
                    help="CMake build folder (default build-bench, configured as Release)")
    ap.add_argument("--cache", default=os.environ.get("BRX_BENCH_DIR") or
                    os.path.join(os.path.expanduser("~"), ".cache", "brindle-bench"),
                    help="corpus cache (default $BRX_BENCH_DIR or ~/.cache/brindle-bench)")
    ap.add_argument("--tree-mb", type=float, help="size of the text tree in MB")
    ap.add_argument("--entries", type=int, help="number of small files")
    ap.add_argument("--file-mb", type=float, help="size of the single file in MB")
    ap.add_argument("--no-build", action="store_true", help="use the programs as built")
    a = ap.parse_args(argv)
    groups = [g for item in a.only for g in item.split(",") if g] or list(GROUPS)
    for g in groups:
        if g not in GROUPS:
            ap.error("unknown group %s (groups: %s)" % (g, ", ".join(GROUPS)))
    if a.runs < 1:
        ap.error("--runs must be at least 1")
    for name in ("tree_mb", "entries", "file_mb"):
        if getattr(a, name) is not None and getattr(a, name) <= 0:
            ap.error("--%s must be positive" % name.replace("_", "-"))
    tree_mb = a.tree_mb or (20 if a.quick else 200)
    entries = a.entries or (10000 if a.quick else 100000)
    file_mb = a.file_mb or (100 if a.quick else 1024)

    load_at_start = os.getloadavg()[0]
    build = os.path.abspath(a.build)
    if not a.no_build:
        build_targets(build, groups)

    def bins(name):
        path = os.path.join(build, "bench", name)
        if not os.path.exists(path):
            path = os.path.join(build, "bench", "cab", name)
        if not os.path.exists(path):
            raise BenchError("%s is not built in %s" % (name, build))
        return path

    cache = os.path.abspath(a.cache)
    os.makedirs(cache, exist_ok=True)
    work = os.path.join(cache, "work-%d" % os.getpid())
    os.makedirs(os.path.join(work, "root"))
    env = dict(os.environ)
    env["BRX_ROOT"] = os.path.join(work, "root")
    env["BRX_BIN_DIR"] = os.path.join(build, "bin")
    env["QT_QPA_PLATFORM"] = "offscreen"
    env.pop("BRX_DRIVES", None)
    runner = Runner(env, work)
    c = Corpora(cache, tree_mb, entries, file_mb)

    makers = {"unzip": unzip_rows, "zip": zip_rows, "cab": cab_rows, "extract": extract_rows}
    done, failed = [], []
    try:
        for g in GROUPS:
            if g not in groups:
                continue
            for r in makers[g](c, bins, work):
                why = skip_reason(r)
                if why:
                    skipped("%s (%s)" % (r.label, why))
                    continue
                try:
                    measure_row(r, runner, a.runs)
                    done.append(r)
                    log("  %s: ours %.3f s, %s %.3f s (%s)" % (
                        r.label, r.ours.time(r.measure), r.theirs.tool,
                        r.theirs.time(r.measure), r.measure))
                except BenchError as e:
                    failed.append(r.label)
                    log("FAILED: %s: %s" % (r.label, e))
    finally:
        remove(work)
    print()
    print_table(done, a.runs, "%g MB text tree, %s small files, %g MB single file" % (
        tree_mb, format(entries, ","), file_mb), load_at_start)
    for text in SKIPPED:
        print("skipped: %s" % text)
    for label in failed:
        print("failed: %s" % label)
    return 1 if failed else 0


def skip_reason(r):
    if r.reuse_theirs:
        return None
    tool = r.theirs.cmd[0]
    if not os.path.isabs(tool) and not shutil.which(tool):
        return "%s is not installed" % tool
    if r.needs and not os.path.exists(r.needs):
        return "its input was not made"
    return None


def measure_row(r, runner, runs):
    if r.before:
        r.before()
    shared = r.ours.wall is not None  # measured for an earlier row
    # The other side is measured here when the row that measures it did not run.
    reuse = r.reuse_theirs and r.theirs.wall is not None
    for _ in range(runs):
        if not shared:
            r.ours.run(runner)
        if not reuse:
            r.theirs.run(runner)
    if r.verify:
        r.verify()


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except BenchError as e:
        log("bench: %s" % e)
        sys.exit(1)
    except KeyboardInterrupt:
        sys.exit(130)
