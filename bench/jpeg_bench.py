#!/usr/bin/python3
"""JPEG speed and memory against peer programs, all measured in one run on
the same files, every case once per round and the rounds interleaved, so
that a busy machine slows every program alike.

  encode: BMP -> JPEG at quality 100, luma sampled 2x1
    rastrix convert -q 100 (our default sampling 0x211111 is 2x1)
    cjpeg -quality 100 -sample 2x1
    Pillow: save(quality=100, subsampling=1), which is 2x1
    vips jpegsave --Q 100 --subsample-mode on (vips has only 2x2 chroma)
  decode: 4:2:0 quality-90 JPEG made by cjpeg -> BMP
    rastrix convert
    djpeg -nosmooth -bmp
    Pillow: open().save(.bmp)
    vips copy (its BMP writer goes through ImageMagick)

Our tool runs at the kernel level the processor offers and again with
RASTRIX_KERNELS=reference (plain kernels, one thread), for comparison.
Each figure is the median over the rounds: wall time, CPU time (user +
system, all threads) and peak resident memory of the process.

On a machine other work keeps busy, times scatter; --callgrind then counts
the instructions each of our runs and the peer's executes (all threads,
the whole process) under valgrind's callgrind tool, once each, which a
busy machine does not change.

  bench/jpeg_bench.py [--build build/release] [--rounds 7] [--work DIR] [--callgrind]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

PYTHON = "/usr/bin/python3"  # the system interpreter, which has Pillow


def run_once(argv, env):
    """Runs argv; returns (wall s, cpu s, peak KB)."""
    start = time.perf_counter()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    err = proc.stderr.read().decode(errors="replace")
    proc.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s\n%s" % (" ".join(argv), err))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss


def instructions(argv, env, work):
    """The instructions argv executes under callgrind (every thread)."""
    out = os.path.join(work, "callgrind.out")
    run = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out] + argv,
                         env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        sys.exit("failed under callgrind: %s\n%s" % (" ".join(argv), run.stderr))
    for line in run.stderr.splitlines():
        if "Collected :" in line:
            return int(line.split(":")[-1])
    sys.exit("no instruction count from callgrind for %s" % " ".join(argv))


def count_instructions(cases, work):
    print("%-7s %-36s %15s %7s" % ("task", "program", "instructions", "ins/p"))
    counts = [instructions(argv, case_env, work) for (_, _, argv, case_env, role) in cases]
    peer = {task: counts[i] for i, (task, _, _, _, role) in enumerate(cases) if role == "peer"}
    for i, (task, label, _, _, _) in enumerate(cases):
        print("%-7s %-36s %15d %7.2f" % (task, label, counts[i], counts[i] / peer[task]))
    print("instructions counted by valgrind --tool=callgrind, whole process, all threads")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build/release")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--work", default=None, help="keep the pictures here")
    ap.add_argument("--callgrind", action="store_true",
                    help="count instructions of ours and the peers' instead of timing")
    args = ap.parse_args()

    rastrix = os.path.join(args.build, "tools", "rastrix")
    make_photo = os.path.join(args.build, "bench", "make_photo")
    for tool in (rastrix, make_photo):
        if not os.access(tool, os.X_OK):
            sys.exit("build %s first" % tool)
    for tool in ("cjpeg", "djpeg"):
        if shutil.which(tool) is None:
            sys.exit("missing %s (apt-get install libjpeg-turbo-progs)" % tool)
    have_vips = shutil.which("vips") is not None
    try:
        subprocess.run([PYTHON, "-c", "import PIL"], check=True)
        have_pillow = True
    except (OSError, subprocess.CalledProcessError):
        have_pillow = False

    work = args.work or tempfile.mkdtemp(prefix="jpeg_bench.")
    os.makedirs(work, exist_ok=True)
    # A copy, so that a rebuild during the run cannot mix two versions.
    shutil.copy2(rastrix, os.path.join(work, "rastrix"))
    rastrix = os.path.join(work, "rastrix")
    photo = os.path.join(work, "photo.bmp")
    j420 = os.path.join(work, "photo420.jpg")
    out = lambda name: os.path.join(work, name)
    subprocess.run([make_photo, photo], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cjpeg", "-quality", "90", "-sample", "2x2", "-outfile", j420, photo], check=True)

    env = dict(os.environ)
    env.pop("RASTRIX_KERNELS", None)
    ref_env = dict(env, RASTRIX_KERNELS="reference")
    pillow_enc = ("from PIL import Image; import sys; "
                  "Image.open(sys.argv[1]).save(sys.argv[2], quality=100, subsampling=1)")
    pillow_dec = "from PIL import Image; import sys; Image.open(sys.argv[1]).save(sys.argv[2])"

    # (task, label, argv, env, role): role "ours" is compared with "peer".
    cases = [
        ("encode", "rastrix convert -q 100", [rastrix, "convert", "-q", "100", photo, out("ours.jpg")], env, "ours"),
        ("encode", "  same, RASTRIX_KERNELS=reference", [rastrix, "convert", "-q", "100", photo, out("ref.jpg")], ref_env, "plain"),
        ("encode", "cjpeg -quality 100 -sample 2x1", ["cjpeg", "-quality", "100", "-sample", "2x1", "-outfile", out("peer.jpg"), photo], env, "peer"),
    ]
    if have_pillow:
        cases.append(("encode", "Pillow quality=100 subsampling=1", [PYTHON, "-c", pillow_enc, photo, out("pillow.jpg")], env, "other"))
    if have_vips:
        cases.append(("encode", "vips jpegsave Q=100 (2x2 chroma)", ["vips", "jpegsave", photo, out("vips.jpg"), "--Q", "100", "--subsample-mode", "on"], env, "other"))
    cases += [
        ("decode", "rastrix convert (jpg -> bmp)", [rastrix, "convert", j420, out("ours.bmp")], env, "ours"),
        ("decode", "  same, RASTRIX_KERNELS=reference", [rastrix, "convert", j420, out("ref.bmp")], ref_env, "plain"),
        ("decode", "djpeg -nosmooth -bmp", ["djpeg", "-nosmooth", "-bmp", "-outfile", out("peer.bmp"), j420], env, "peer"),
    ]
    if have_pillow:
        cases.append(("decode", "Pillow open().save(.bmp)", [PYTHON, "-c", pillow_dec, j420, out("pillow.bmp")], env, "other"))
    if have_vips:
        cases.append(("decode", "vips copy (jpg -> bmp)", ["vips", "copy", j420, out("vips.bmp")], env, "other"))

    if args.callgrind:
        if shutil.which("valgrind") is None:
            sys.exit("missing valgrind (apt-get install valgrind)")
        count_instructions([c for c in cases if c[4] != "other"], work)
        if args.work is None:
            shutil.rmtree(work)
        return

    load_before = os.getloadavg()
    samples = [[] for _ in cases]
    for _ in range(args.rounds):
        for i, (_, _, argv, case_env, _) in enumerate(cases):
            samples[i].append(run_once(argv, case_env))
    load_after = os.getloadavg()

    medians = [tuple(statistics.median(s[k] for s in runs) for k in range(3)) for runs in samples]
    peer = {task: medians[i] for i, (task, _, _, _, role) in enumerate(cases) if role == "peer"}
    image_kb = os.path.getsize(photo) // 1024

    print("%-7s %-36s %8s %8s %9s %7s %7s" % ("task", "program", "wall_s", "cpu_s", "peak_KB", "wall/p", "cpu/p"))
    for i, (task, label, _, _, _) in enumerate(cases):
        wall, cpu, peak = medians[i]
        pw, pc, _ = peer[task]
        print("%-7s %-36s %8.3f %8.3f %9d %7.2f %7.2f" % (task, label, wall, cpu, peak, wall / pw, cpu / pc))
    print("medians of %d interleaved rounds; load average %.2f before, %.2f after (1 min), %d cores"
          % (args.rounds, load_before[0], load_after[0], os.cpu_count()))
    print("picture: 4000 x 3000, %d KB as BMP; JPEG sizes: ours %d B, cjpeg %d B"
          % (image_kb, os.path.getsize(out("ours.jpg")), os.path.getsize(out("peer.jpg"))))
    same = open(out("ours.jpg"), "rb").read() == open(out("ref.jpg"), "rb").read()
    print("ours with plain kernels writes the same bytes: %s" % ("yes" if same else "NO"))
    ours = {task: medians[i] for i, (task, _, _, _, role) in enumerate(cases) if role == "ours"}
    ew, ec, ep = ours["encode"]
    dw, _, dp = ours["decode"]
    print("targets: encode wall %.2f (<= 0.80) cpu %.2f (<= 1.00); decode wall %.2f (<= 0.80)"
          % (ew / peer["encode"][0], ec / peer["encode"][1], dw / peer["decode"][0]))
    print("peak memory over the image: encode %d KB, decode %d KB (target <= 16384)"
          % (ep - image_kb, dp - image_kb))
    if args.work is None:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
