#!/usr/bin/python3
"""Mutation check of the engine's driver over the PDF corpus.

usage: mutate.py [--seconds N] [--seed S] [--corpus DIR] [--driver PATH]
                 [--types 1,2,3,4,6] [--keep DIR]

Makes damaged copies of the corpus files (byte flips, truncation, huge
numbers in /Length, /Count, /W and picture sizes, page-tree loops, deep
nesting, broken object streams and fonts), from a fixed seed, and converts
each into every output type with trancel-run. A run fails the check when
the driver is killed by a signal or exits with a code other than 0 or 1,
when a sanitizer reports anything, when it takes longer than 60 seconds,
when a failed item leaves anything in the output folder, or when the job's
temporary folder is left behind. Stops starting new runs after --seconds
(300 by default); exits with 1 when a run failed the check. The mutants
that failed are kept in --keep (default: mutants-failed/ in the current
folder) with a line in report.txt each.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

HANG_SECONDS = 60
HUGE = [b"2147483647", b"2147483648", b"4294967295", b"1000000000", b"-1",
        b"99999999999999999999", b"0"]


def flip_bytes(data, rng):
    d = bytearray(data)
    for _ in range(rng.randint(1, 32)):
        d[rng.randrange(len(d))] = rng.randrange(256)
    return bytes(d)


def truncate(data, rng):
    return data[:rng.randrange(1, max(2, len(data)))]


def huge_number(data, rng):
    keys = [b"/Length", b"/Count", b"/Width", b"/Height", b"/W", b"/N", b"/First",
            b"/Size", b"/BitsPerComponent"]
    key = rng.choice(keys)
    if key == b"/W":
        pattern = re.compile(rb"/W\s*\[\s*\d+\s+\d+\s+\d+\s*\]")
        value = b"/W [" + rng.choice(HUGE) + b" " + rng.choice(HUGE) + b" 1]"
    else:
        pattern = re.compile(re.escape(key) + rb"(?![A-Za-z])\s*-?\d+")
        value = key + b" " + rng.choice(HUGE)
    spots = list(pattern.finditer(data))
    if not spots:
        return flip_bytes(data, rng)
    m = rng.choice(spots)
    return data[:m.start()] + value + data[m.end():]


def page_tree_loop(data, rng):
    pages = list(re.finditer(rb"(\d+)\s+0\s+obj\s*<<[^>]{0,200}/Type\s*/Pages", data))
    kids = list(re.finditer(rb"/Kids\s*\[", data))
    if not pages or not kids:
        return huge_number(data, rng)
    own = rng.choice(pages).group(1)
    k = rng.choice(kids)
    if rng.random() < 0.5:
        # The tree holds itself among its kids.
        return data[:k.end()] + own + b" 0 R " + data[k.end():]
    # A page's parent is itself.
    parents = list(re.finditer(rb"/Parent\s+\d+\s+0\s+R", data))
    if not parents:
        return data[:k.end()] + own + b" 0 R " + data[k.end():]
    p = rng.choice(parents)
    return data[:p.start()] + b"/Parent " + own + b" 0 R" + data[p.end():]


def deep_nesting(data, rng):
    depth = rng.choice([1000, 10000, 100000])
    opener, closer = rng.choice([(b"[", b"]"), (b"<<", b">>"), (b"<< /K ", b" >>")])
    deep = opener * depth + closer * depth
    spots = list(re.finditer(rb"/Type\s*/(Catalog|Page)\b", data))
    if not spots:
        return data + b"\n" + deep
    m = rng.choice(spots)
    return data[:m.end()] + b" /Deep " + deep + data[m.end():]


def broken_object_stream(data, rng):
    streams = list(re.finditer(rb"/Type\s*/ObjStm", data))
    if not streams:
        return huge_number(data, rng)
    m = rng.choice(streams)
    start = data.find(b"stream", m.end())
    if start < 0:
        return huge_number(data, rng)
    d = bytearray(data)
    for _ in range(rng.randint(1, 16)):
        at = start + 8 + rng.randrange(64)
        if at < len(d):
            d[at] = rng.randrange(256)
    if rng.random() < 0.5:
        region = bytes(d[m.start():m.start() + 200])
        n = re.search(rb"/(N|First)\s+\d+", region)
        if n:
            a, b = m.start() + n.start(), m.start() + n.end()
            d[a:b] = b"/" + n.group(1) + b" " + rng.choice(HUGE)
    return bytes(d)


def broken_font(data, rng):
    fonts = list(re.finditer(rb"/FontFile[23]?\s+(\d+)\s+0\s+R", data))
    if not fonts:
        return flip_bytes(data, rng)
    num = rng.choice(fonts).group(1)
    obj = re.search(rb"(?<!\d)" + num + rb"\s+0\s+obj", data)
    if not obj:
        return flip_bytes(data, rng)
    start = data.find(b"stream", obj.end())
    if start < 0:
        return flip_bytes(data, rng)
    d = bytearray(data)
    for _ in range(rng.randint(4, 64)):
        at = start + 8 + rng.randrange(4096)
        if at < len(d):
            d[at] = rng.randrange(256)
    return bytes(d)


MUTATIONS = [flip_bytes, truncate, huge_number, page_tree_loop, deep_nesting,
             broken_object_stream, broken_font]


def run_one(driver, mutant, kind, work):
    dest = os.path.join(work, "out")
    tmp = os.path.join(work, "tmp")
    for d in (dest, tmp):
        shutil.rmtree(d, ignore_errors=True)
        os.makedirs(d)
    env = dict(os.environ, TMPDIR=tmp,
               ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0",
               UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1",
               LSAN_OPTIONS="suppressions=" + os.path.join(
                   os.path.dirname(os.path.abspath(__file__)), "..", "tests", "lsan.supp"))
    args = [driver, "--protocol", "--type", str(kind), "--dest", dest, mutant]
    try:
        proc = subprocess.run(args, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=HANG_SECONDS)
    except subprocess.TimeoutExpired:
        return "hang over %d s" % HANG_SECONDS
    err = proc.stderr.decode("utf-8", "replace")
    if re.search(r"ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:", err):
        line = next((l for l in err.splitlines() if "Sanitizer" in l or "runtime error" in l), "")
        return "sanitizer: " + line.strip()
    if proc.returncode < 0:
        return "killed by signal %d" % -proc.returncode
    if proc.returncode not in (0, 1):
        return "exit code %d" % proc.returncode
    if proc.returncode == 1 and os.listdir(dest):
        return "failed item left " + ", ".join(sorted(os.listdir(dest)))
    if os.listdir(tmp):
        return "temporary folder left: " + ", ".join(sorted(os.listdir(tmp)))
    if proc.returncode == 0 and not os.listdir(dest):
        return "done without output"
    return None


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.dirname(here)
    ap = argparse.ArgumentParser()
    ap.add_argument("--seconds", type=float, default=300)
    ap.add_argument("--seed", type=int, default=14)
    ap.add_argument("--corpus", default=os.path.join(root, "..", "shared", "corpus", "pdf"))
    ap.add_argument("--driver", default=os.path.join(root, "build", "asan", "bin", "trancel-run"))
    ap.add_argument("--types", default="1,2,3,4,6")
    ap.add_argument("--keep", default="mutants-failed")
    opts = ap.parse_args()

    if not os.path.isdir(opts.corpus):
        print("mutate: no corpus at %s" % opts.corpus, file=sys.stderr)
        return 1 if os.environ.get("CI") == "true" else 0
    sources = sorted(os.path.join(opts.corpus, f) for f in os.listdir(opts.corpus)
                     if f.endswith(".pdf"))
    kinds = [int(t) for t in opts.types.split(",")]
    rng = random.Random(opts.seed)
    deadline = time.monotonic() + opts.seconds
    runs = failures = 0
    counts = {}
    with tempfile.TemporaryDirectory(prefix="mutate-") as work:
        n = 0
        while time.monotonic() < deadline:
            source = rng.choice(sources)
            mutation = MUTATIONS[n % len(MUTATIONS)]
            n += 1
            with open(source, "rb") as f:
                data = f.read()
            mutant_data = mutation(data, rng)
            mutant = os.path.join(work, "mutant%d.pdf" % n)
            with open(mutant, "wb") as f:
                f.write(mutant_data)
            for kind in kinds:
                if time.monotonic() >= deadline:
                    break
                problem = run_one(opts.driver, mutant, kind, work)
                runs += 1
                counts[mutation.__name__] = counts.get(mutation.__name__, 0) + 1
                if problem:
                    failures += 1
                    os.makedirs(opts.keep, exist_ok=True)
                    kept = os.path.join(opts.keep, "mutant%d.pdf" % n)
                    shutil.copyfile(mutant, kept)
                    with open(os.path.join(opts.keep, "report.txt"), "a") as r:
                        r.write("%s type %d (%s of %s): %s\n" % (
                            kept, kind, mutation.__name__, os.path.basename(source), problem))
                    print("FAIL %s type %d (%s of %s): %s" % (
                        kept, kind, mutation.__name__, os.path.basename(source), problem))
            os.remove(mutant)
    print("mutate: %d runs of %d mutants (%s), %d failed the check" % (
        runs, n, ", ".join("%s %d" % kv for kv in sorted(counts.items())), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
