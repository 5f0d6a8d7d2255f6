#!/usr/bin/env python3
"""Makes a corpus of hostile files from the bundled samples and drives every
file through plastora-cli, the way a user would reach it.

Every format the program reads gets its share: BMP, JPEG, PNG, GIF, WMF, MPO,
projects (.lyr), region masks, the settings file (.ini) and the printer
set-up file (.prn). The files are truncated copies, bit-flipped copies and
copies whose header fields hold absurd numbers (0, -1, 2^31 - 1, -2^31,
65535, ...). Each one is run through the commands that read it (many
commands to one `plastora-cli batch` process, as a sanitizer build starts
slowly; a process that dies is started again after the command that ended
it), and every file is sorted by the worst outcome of its runs:

  accepted     exit 0
  refused      exit 1 or 2 (the program's own message)
  sanitizer    AddressSanitizer, UndefinedBehaviorSanitizer or LeakSanitizer
               printed a report (a leak is looked for after every command)
  signal       the process died of a signal
  hang         the run did not end within the time limit

Use it with a sanitizer build (PLASTORA_SANITIZE=ON):

  fuzz/hostile_corpus.py --cli build-asan/bin/plastora-cli --out /tmp/hostile

It prints the counts by format and outcome and keeps every file whose run
gave a sanitizer report, a signal or a hang under OUT/findings/. It exits 1
when there was any. The corpus is made with a fixed seed, so the same files
come out on every run.
"""

import argparse
import collections
import concurrent.futures
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLES = os.path.join(ROOT, "data", "sample")
ABSURD32 = [0, 1, -1, 0x7FFFFFFF, -0x80000000, 0xFFFF, 0x8000, 0x10000, -2, 46341]
ABSURD16 = [0, 1, 0xFFFF, 0x7FFF, 0x8000, 0xFFFE]
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer", "UndefinedBehaviorSanitizer")


# ---- pictures ------------------------------------------------------------------

def read_bmp24(path):
    with open(path, "rb") as f:
        b = f.read()
    off, = struct.unpack_from("<I", b, 10)
    w, h = struct.unpack_from("<ii", b, 18)
    bits, = struct.unpack_from("<H", b, 28)
    assert bits == 24 and h > 0
    stride = (w * 3 + 3) // 4 * 4
    rows = []
    for y in range(h):  # bottom-up in the file; kept top-down here
        r = b[off + (h - 1 - y) * stride: off + (h - 1 - y) * stride + w * 3]
        rows.append(bytes(r))
    return w, h, rows  # rows of BGR


def shrink(picture, w2, h2):
    w, h, rows = picture
    out = []
    for y in range(h2):
        src = rows[y * h // h2]
        out.append(b"".join(src[(x * w // w2) * 3:(x * w // w2) * 3 + 3] for x in range(w2)))
    return w2, h2, out


def bmp24(picture):
    w, h, rows = picture
    stride = (w * 3 + 3) // 4 * 4
    data = b"".join(rows[h - 1 - y] + b"\0" * (stride - w * 3) for y in range(h))
    head = b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 0, 0, 0, 0)
    return head + info + data


def png(picture):
    w, h, rows = picture
    raw = b"".join(b"\0" + bytes(r[i + 2 - 2 * (i % 3)] for i in range(len(r))) for r in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def mask_file(w, h, depth, inside):
    stride = (w + 31) // 32 * 4
    rows = bytearray(stride * h)
    for y in range(h):
        for x in range(w):
            if inside(x, y):
                rows[(h - 1 - y) * stride + (x >> 3)] |= 0x80 >> (x & 7)
    head = b"BM" + struct.pack("<IhHI", 62 + len(rows), depth, 0, 62)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(rows), 0, 0, 2, 2)
    return head + info + b"\0\0\0\0\xff\xff\xff\0" + bytes(rows)


def project_header(w, h, regions, objects=0, strength=2, background=-8, paint=4):
    b = bytearray(96)
    b[0:4] = b".lyr"
    struct.pack_into("<iiiiiiiiii", b, 4, 3, w, h, objects, strength, background, 8, paint, 1, 0)
    struct.pack_into("<f", b, 44, 60.0)
    struct.pack_into("<iiii", b, 56, regions, 0, 0, 0)
    return bytes(b)


# ---- mutations -------------------------------------------------------------------

def truncations(data, rng, count):
    points = {0, 1, 2, 4, 8, 12, 14, 18, 26, 54, len(data) // 2, len(data) - 1}
    while len(points) < count + 4:
        points.add(rng.randrange(1, max(2, len(data))))
    return [data[:p] for p in sorted(points) if p < len(data)][:count]


def bit_flips(data, rng, count, flips=4, head=None):
    out = []
    for _ in range(count):
        b = bytearray(data)
        for _ in range(rng.randint(1, flips)):
            # Most flips land in the first bytes, where the headers are.
            limit = head if head and rng.random() < 0.7 else len(b)
            i = rng.randrange(min(limit, len(b)))
            b[i] ^= 1 << rng.randrange(8)
        out.append(bytes(b))
    return out


def absurd_fields(data, offsets32=(), offsets16=(), offsets16be=(), offsets32be=()):
    out = []
    for offsets, values, fmt in ((offsets32, ABSURD32, "<I"), (offsets32be, ABSURD32, ">I"),
                                 (offsets16, ABSURD16, "<H"), (offsets16be, ABSURD16, ">H")):
        size = struct.calcsize(fmt)
        for off in offsets:
            for v in values:
                if off + size <= len(data):
                    b = bytearray(data)
                    struct.pack_into(fmt, b, off, v & (0xFFFFFFFF if size == 4 else 0xFFFF))
                    out.append(bytes(b))
    return out


def jpeg_segments(data):
    """(marker, offset of the length field) of every segment before the scan."""
    segs, pos = [], 2
    while pos + 4 <= len(data) and data[pos] == 0xFF:
        marker = data[pos + 1]
        segs.append((marker, pos + 2))
        if marker == 0xDA:
            break
        pos += 2 + struct.unpack_from(">H", data, pos + 2)[0]
    return segs


def jpeg_fields(data):
    be16 = []
    for marker, at in jpeg_segments(data):
        be16.append(at)
        if marker in (0xC0, 0xC1, 0xC2):
            be16 += [at + 3, at + 5]  # height, width
    return be16


def mpo_fields(data):
    """Offsets of the MP header's numbers: IFD offset, entry count, every
    entry's count and value, and the MP entries' sizes and offsets."""
    i = data.find(b"MPF\0")
    if i < 0:
        return [], []
    tiff = i + 4
    little = data[tiff:tiff + 2] == b"II"
    if not little:
        return [], []
    ifd, = struct.unpack_from("<I", data, tiff + 4)
    n, = struct.unpack_from("<H", data, tiff + ifd)
    o32 = [tiff + 4]
    o16 = [tiff + ifd]
    for k in range(n):
        e = tiff + ifd + 2 + 12 * k
        o32 += [e + 4, e + 8]
        tag, = struct.unpack_from("<H", data, e)
        if tag == 0xB002:
            at, = struct.unpack_from("<I", data, e + 8)
            o32 += [tiff + at + 4, tiff + at + 8, tiff + at + 20, tiff + at + 24]
    return o32, o16


def gif_fields(data):
    o16 = [6, 8]
    i = data.find(b"\x2c", 13)
    if i > 0:
        o16 += [i + 1, i + 3, i + 5, i + 7]
    return o16


def wmf_fields(data):
    o32, pos = [], 18
    if data[:4] == b"\xd7\xcd\xc6\x9a":
        pos = 40
    while pos + 6 <= len(data) and len(o32) < 40:
        o32.append(pos)
        words, = struct.unpack_from("<I", data, pos)
        if words < 3:
            break
        pos += words * 2
    return o32


# ---- the corpus -------------------------------------------------------------------

class Corpus:
    def __init__(self, out, cli, rng):
        self.out = out
        self.cli = cli
        self.rng = rng
        self.seeds = os.path.join(out, "seeds")
        self.files = os.path.join(out, "files")
        os.makedirs(self.seeds, exist_ok=True)
        os.makedirs(self.files, exist_ok=True)
        self.cases = []  # (format, path, extra setup)

    def seed(self, name, data):
        p = os.path.join(self.seeds, name)
        with open(p, "wb") as f:
            f.write(data)
        return p

    def cli_run(self, *args, env=None):
        r = subprocess.run([self.cli, *args], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                           timeout=600, env=env)
        if r.returncode != 0:
            raise RuntimeError("seed command failed: %s\n%s" % (" ".join(args), r.stderr.decode(errors="replace")))

    def add(self, fmt, ext, variants, limit):
        self.rng.shuffle(variants)
        folder = os.path.join(self.files, fmt)
        os.makedirs(folder, exist_ok=True)
        seen = set()
        n = 0
        for v in variants:
            if n >= limit:
                break
            if v in seen:
                continue
            seen.add(v)
            p = os.path.join(folder, "%s_%04d%s" % (fmt, n, ext))
            with open(p, "wb") as f:
                f.write(v)
            self.cases.append((fmt, p))
            n += 1


def make_corpus(out, cli, per_format):
    rng = random.Random(23)
    c = Corpus(out, cli, rng)
    chelsea = shrink(read_bmp24(os.path.join(SAMPLES, "chelsea.bmp")), 40, 27)
    coffee = shrink(read_bmp24(os.path.join(SAMPLES, "coffee.bmp")), 40, 27)
    bmp = c.seed("seed.bmp", bmp24(chelsea))
    c.seed("seed2.bmp", bmp24(coffee))
    c.seed("seed.png", png(chelsea))
    c.cli_run("convert", bmp, os.path.join(c.seeds, "seed.jpg"))
    c.cli_run("raster", bmp, "-o", os.path.join(c.seeds, "seed.gif"))

    # A project with two regions and objects of every kind, and a stereo pair
    # saved as MPO.
    w, h = chelsea[0], chelsea[1]
    c.seed("p.lyr", project_header(w, h, 2))
    c.seed("p.bmp", bmp24(chelsea))
    c.seed("p.msk", mask_file(w, h, 0, lambda x, y: 10 <= x < 30 and 5 <= y < 20))
    c.seed("p.m01", mask_file(w, h, 8, lambda x, y: 15 <= x < 25 and 8 <= y < 18))
    p = os.path.join(c.seeds, "p.lyr")
    c.cli_run("object", p, "--text", "Ab", "--at", "3,3", "--depth", "6", "--shadow", "-o", p)
    c.cli_run("object", p, "--shape", "rising", "--arrow-left", "--line-width", "2", "--corner", "6",
              "--at", "5,5", "--box", "20,12", "-o", p)
    c.cli_run("object", p, "--clipart", os.path.join(ROOT, "data", "auto_data", "body_data_default.wmf"),
              "--at", "1,1", "--box", "12,16", "--depth", "-4", "-o", p)
    s = os.path.join(c.seeds, "s.lyr")
    c.cli_run("stereo", bmp, os.path.join(c.seeds, "seed2.bmp"), "-o", s, "--yes")
    c.cli_run("save-views", s, "-o", os.path.join(c.seeds, "s.mpo"))

    def data(name):
        with open(os.path.join(c.seeds, name), "rb") as f:
            return f.read()

    def mixed(d, o32=(), o16=(), o16be=(), o32be=(), head=64):
        v = absurd_fields(d, o32, o16, o16be, o32be)
        v += truncations(d, rng, 40)
        v += bit_flips(d, rng, per_format, head=head)
        return v

    d = data("seed.bmp")
    c.add("bmp", ".bmp", mixed(d, o32=[2, 10, 14, 18, 22, 30, 34, 46], o16=[26, 28]), per_format)
    d = data("seed.jpg")
    c.add("jpeg", ".jpg", mixed(d, o16be=jpeg_fields(d), head=400), per_format)
    d = data("seed.png")
    c.add("png", ".png", mixed(d, o32be=[8, 16, 20, 33], head=40), per_format)
    d = data("seed.gif")
    c.add("gif", ".gif", mixed(d, o16=gif_fields(d), head=800), per_format)
    wmfs = [os.path.join(ROOT, "data", "auto_data", "body_data_default.wmf")]
    corpus_wmf = os.path.join(ROOT, "fuzz", "corpus", "wmf")
    wmfs += [os.path.join(corpus_wmf, n) for n in sorted(os.listdir(corpus_wmf))]
    variants = []
    for path in wmfs:
        with open(path, "rb") as f:
            d = f.read()
        variants += mixed(d, o32=wmf_fields(d), o16=[6, 8, 10, 12, 14, 22, 24], head=len(d))
    c.add("wmf", ".wmf", variants, per_format)
    d = data("s.mpo")
    o32, o16 = mpo_fields(d)
    c.add("mpo", ".mpo", mixed(d, o32=o32, o16=o16, o16be=jpeg_fields(d), head=600), per_format)
    d = data("p.lyr")
    n_objects, = struct.unpack_from("<i", d, 16)
    fields = list(range(8, 72, 4))
    fields += [96 + 8 * i for i in range(n_objects)]
    fields += [96 + 8 * n_objects + 56 * i + 4 * k for i in range(n_objects) for k in range(14)]
    c.add("project", ".lyr", mixed(d, o32=fields, head=len(d)), per_format)
    d = data("p.msk")
    c.add("mask", ".msk", mixed(d, o32=[2, 10, 14, 18, 22, 30, 34], o16=[6, 26, 28]), per_format // 2)

    # Settings: every integer key of the shipped file set to an absurd number,
    # keys and sections damaged, lines cut.
    with open(os.path.join(ROOT, "data", "Plastora.ini"), "rb") as f:
        ini = f.read()
    lines = ini.split(b"\n")
    variants = []
    for i, line in enumerate(lines):
        if b"=" in line and not line.startswith(b";"):
            key = line.split(b"=", 1)[0]
            for v in (b"2147483648", b"-2147483649", b"2147483647", b"-2147483648", b"4294967296", b"1e308",
                      b"-0", b"99999999999999999999", b"nan"):
                variants.append(b"\n".join(lines[:i] + [key + b"=" + v] + lines[i + 1:]))
    variants += truncations(ini, rng, 20) + bit_flips(ini, rng, per_format // 2, head=len(ini))
    c.add("ini", ".ini", variants, per_format)

    # The printer set-up file.
    prn = (b"printer=Office Laser\npaper=A4\npaperWidthMM=210.000\npaperHeightMM=297.000\nsource=1\n"
           b"colorMode=1\nresolution=600\nduplex=0\norientation=1\n")
    variants = []
    for key in (b"paperWidthMM", b"paperHeightMM", b"source", b"colorMode", b"resolution", b"duplex",
                b"orientation"):
        for v in (b"2147483648", b"-2147483648", b"1e308", b"-1e308", b"nan", b"inf", b"-1", b"0"):
            variants.append(b"\n".join(l if not l.startswith(key + b"=") else key + b"=" + v for l in prn.split(b"\n")))
    variants += [prn.replace(b"Office Laser", b"Office\rLaser"), prn.replace(b"Office", b"\x01\x7f"),
                 prn * 2000]
    variants += bit_flips(prn, rng, per_format // 3, head=len(prn))
    c.add("prn", ".prn", variants, per_format // 3)
    return c


# ---- running ----------------------------------------------------------------------------

def commands_for(fmt, path, work, seeds):
    """The runs a file gets: (environment fields, argv) pairs, prepared in
    the case's own folder."""
    os.makedirs(work, exist_ok=True)
    out = os.path.join(work, "out")
    if fmt in ("bmp", "jpeg", "png", "gif"):
        return [([], ["info", path]), ([], ["raster", path, "-o", out + ".bmp"])]
    if fmt == "wmf":
        return [([], ["wmf", path, "-o", out + ".swf"]), ([], ["wmf", path, "-o", out + ".bmp"])]
    if fmt == "mpo":
        return [([], ["info", path]), ([], ["stereo", path, "-o", os.path.join(work, "s.lyr"), "--yes"])]
    if fmt in ("project", "mask"):
        base = os.path.join(work, "p")
        shutil.copy(os.path.join(seeds, "p.bmp"), base + ".bmp")
        shutil.copy(path if fmt == "project" else os.path.join(seeds, "p.lyr"), base + ".lyr")
        shutil.copy(path if fmt == "mask" else os.path.join(seeds, "p.msk"), base + ".msk")
        shutil.copy(os.path.join(seeds, "p.m01"), base + ".m01")
        # save-views makes the views and the high-resolution pair.
        return [([], ["info", base + ".lyr"]), ([], ["save-views", base + ".lyr", "-o", out + ".bmp"]),
                ([], ["lenticular", base + ".lyr", "-o", out + "_l.bmp"])]
    if fmt == "ini":
        # The settings file is the one in the program folder.
        folder = os.path.join(work, "bin")
        os.makedirs(folder, exist_ok=True)
        shutil.copy(path, os.path.join(folder, "Plastora.ini"))
        for ext in (".lyr", ".bmp", ".msk", ".m01"):
            shutil.copy(os.path.join(seeds, "p" + ext), os.path.join(work, "p" + ext))
        env = ["PLASTORA_PROGRAM_FOLDER=" + folder]
        return [([], ["open", os.path.join(seeds, "seed.bmp"), "-o", os.path.join(work, "o.lyr"), "--settings", path]),
                (env, ["save-views", os.path.join(work, "p.lyr"), "-o", out + ".bmp"]),
                (env, ["lenticular", os.path.join(work, "p.lyr"), "-o", out + "_l.bmp"])]
    if fmt == "prn":
        tmp = os.path.join(work, "tmp")
        os.makedirs(tmp, exist_ok=True)
        shutil.copy(path, os.path.join(tmp, "Plastora.prn"))
        for ext in (".lyr", ".bmp", ".msk", ".m01"):
            shutil.copy(os.path.join(seeds, "p" + ext), os.path.join(work, "p" + ext))
        return [(["TMPDIR=" + tmp], ["print", os.path.join(work, "p.lyr"), "-o", out + ".pdf", "--dpi", "72"])]
    raise ValueError(fmt)


WORST = ["accepted", "refused", "sanitizer", "signal", "hang"]


def outcome_of(code):
    if code == 0:
        return "accepted"
    if code == 99:
        return "sanitizer"  # a leak found after the command
    return "refused"


def run_batch(args):
    """Runs a list of (case, argv-with-env) lines in one plastora-cli batch
    process, starting a new process after one that dies. Gives
    {case: (outcome, details)}."""
    cli, root, name, lines, timeout = args
    results = {}
    pending = list(lines)
    while pending:
        listing = os.path.join(root, "batch-%s.txt" % name)
        with open(listing, "w") as f:
            for case, env, argv in pending:
                f.write("\t".join(env + argv) + "\n")
        proc = subprocess.Popen([cli, "batch", listing], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        done, text, timed_out = 0, [], False
        # Each finished command gives "#batch N EXIT"; a command that runs
        # past the time limit is a hang.
        import selectors
        sel = selectors.DefaultSelector()
        sel.register(proc.stderr, selectors.EVENT_READ)
        buf = b""
        while True:
            ready = sel.select(timeout)
            if not ready:
                timed_out = True
                proc.kill()
                break
            chunk = os.read(proc.stderr.fileno(), 65536)
            if not chunk:
                break
            buf += chunk
            while b"\n" in buf:
                line, buf = buf.split(b"\n", 1)
                t = line.decode(errors="replace")
                if t.startswith("#batch "):
                    _, n, code = t.split()
                    case = pending[int(n)][0]
                    outcome = outcome_of(int(code))
                    old = results.get(case, ("accepted", ""))
                    details = "\n".join(text)
                    if any(m in details for m in SANITIZER_MARKS):
                        outcome = "sanitizer"
                    if WORST.index(outcome) >= WORST.index(old[0]):
                        results[case] = (outcome, details if outcome == "sanitizer" else old[1])
                    done = int(n) + 1
                    text = []
                else:
                    text.append(t)
        proc.wait()
        text.append(buf.decode(errors="replace"))
        if done < len(pending):
            # The command after the last finished one ended the process.
            case = pending[done][0]
            details = "\n".join(text)
            if timed_out:
                outcome = "hang"
            elif any(m in details for m in SANITIZER_MARKS):
                outcome = "sanitizer"
            else:
                outcome = "signal"
            results[case] = (outcome, " ".join(pending[done][2]) + "\n" + details[-6000:])
            pending = pending[done + 1:]
        else:
            pending = []
    return results


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", required=True, help="plastora-cli of a sanitizer build")
    ap.add_argument("--out", required=True, help="folder for the corpus and the findings (made afresh)")
    ap.add_argument("--per-format", type=int, default=230, help="files per format (fewer for masks and .prn)")
    ap.add_argument("--jobs", type=int, default=2, help="batch processes at once")
    ap.add_argument("--timeout", type=float, default=120.0, help="seconds before a run counts as a hang")
    ap.add_argument("--only", help="comma-separated formats to run")
    a = ap.parse_args()
    cli = os.path.abspath(a.cli)
    out = os.path.abspath(a.out)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    env_opts = os.environ
    env_opts.setdefault("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=0")
    env_opts.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
    supp = os.path.join(ROOT, "tests", "lsan.supp")
    env_opts.setdefault("LSAN_OPTIONS", "suppressions=" + supp)
    env_opts["QT_QPA_PLATFORM"] = "offscreen"

    corpus = make_corpus(out, cli, a.per_format)
    cases = corpus.cases
    if a.only:
        keep = set(a.only.split(","))
        cases = [c for c in cases if c[0] in keep]
    print("%d files made under %s" % (len(corpus.cases), corpus.files), flush=True)

    counts = collections.defaultdict(collections.Counter)
    findings = os.path.join(out, "findings")
    os.makedirs(findings, exist_ok=True)
    lines = []
    for i, (fmt, p) in enumerate(cases):
        work = os.path.join(out, "run", "%05d" % i)
        for env, argv in commands_for(fmt, p, work, corpus.seeds):
            lines.append((i, env, argv))
    # Batches of about 60 commands, spread over the workers.
    batches, size = [], 60
    for k in range(0, len(lines), size):
        batches.append((cli, out, str(k // size), lines[k:k + size], a.timeout))
    results = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=a.jobs) as pool:
        for r in pool.map(run_batch, batches):
            results.update(r)
            print("%d / %d files run" % (len(results), len(cases)), flush=True)
    for i, (fmt, p) in enumerate(cases):
        outcome, details = results.get(i, ("accepted", ""))
        counts[fmt][outcome] += 1
        if outcome in ("sanitizer", "signal", "hang"):
            shutil.copy(p, findings)
            with open(os.path.join(findings, os.path.basename(p) + ".txt"), "w") as f:
                f.write(details)
            print("FINDING %s: %s" % (p, outcome), flush=True)

    print("\n%-8s %6s" % ("format", "files") + "".join("%11s" % o for o in WORST))
    total = collections.Counter()
    for fmt in sorted(counts):
        n = sum(counts[fmt].values())
        total.update(counts[fmt])
        print("%-8s %6d" % (fmt, n) + "".join("%11d" % counts[fmt][o] for o in WORST))
    print("%-8s %6d" % ("all", sum(total.values())) + "".join("%11d" % total[o] for o in WORST))
    bad = total["sanitizer"] + total["signal"] + total["hang"]
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
