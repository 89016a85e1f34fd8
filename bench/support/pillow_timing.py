"""The Pillow side's copy-and-time loop: each run works on a fresh copy of
the picture, made before the clock starts, and the best run is printed as
"case wall_ms cpu_ms", like the engine's bench programs."""
import time


def time_case(name, image, op, runs):
    best = best_cpu = float("inf")
    for _ in range(runs):
        source = image.copy()
        cpu_start = time.thread_time()
        start = time.perf_counter()
        out = op(source)
        out.load()
        best = min(best, time.perf_counter() - start)
        best_cpu = min(best_cpu, time.thread_time() - cpu_start)
        del out, source
    print(f"{name} {best * 1000:.3f} {best_cpu * 1000:.3f}", flush=True)
