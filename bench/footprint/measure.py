#!/usr/bin/env python3
"""Start-up time, idle memory and idle CPU of chengfan against a bare Qt Widgets
window of the same size, both under one Xvfb, in one run.

    measure.py CHENGFAN_BUILD_DIR BARE_WINDOW BARE_WINDOW_WEBENGINE XHELPER [RUNS]

CHENGFAN_BUILD_DIR is a loopback build (tests/e2e/build.sh); the notice and
about pages are served from 127.0.0.1 by the same servers the end-to-end test
uses. BARE_WINDOW_WEBENGINE is the same bare window linked with the Qt
WebEngine libraries it never uses: it shows what loading the browser engine's
libraries alone costs. BARE_WINDOW run with "texts" shows the main window's
Chinese texts in the same faces and sizes: what drawing them costs any Qt
program. Prints the figures and how they stand against the aims."""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import servers  # noqa: E402

MAIN_TITLE = "澄帆3.0版 (青禾文社）"
ABOUT_TITLE = "澄帆3.0关于"
BARE_TITLE = "bare window"
ABOUT_BUTTON = (264, 159, 104, 48)  # 按钮6 "关于" in the main window's client area
SETTLE = 3.0       # seconds after mapping before memory is read
IDLE_SPAN = 60.0   # seconds of idle CPU measurement
TICK = os.sysconf("SC_CLK_TCK")
PAGE = os.sysconf("SC_PAGE_SIZE")


def children_of(pid):
    """pid and every process below it."""
    parents = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                stat = Path(f"/proc/{entry}/stat").read_text()
            except OSError:
                continue
            ppid = int(stat.rsplit(")", 1)[1].split()[1])
            parents.setdefault(ppid, []).append(int(entry))
    tree, todo = [], [pid]
    while todo:
        p = todo.pop()
        tree.append(p)
        todo.extend(parents.get(p, []))
    return tree


def rss_kib(pid):
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def pss_kib(pid):
    try:
        for line in Path(f"/proc/{pid}/smaps_rollup").read_text().splitlines():
            if line.startswith("Pss:"):
                return int(line.split()[1])
    except OSError:
        pass
    return 0


def cpu_ms(pids):
    total = 0
    for pid in pids:
        try:
            fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        # utime, stime, and what waited-for children used
        total += sum(int(v) for v in fields[11:15])
    return total * 1000.0 / TICK


def memory(pid):
    tree = children_of(pid)
    return {"rss": rss_kib(pid), "tree_rss": sum(rss_kib(p) for p in tree),
            "tree_pss": sum(pss_kib(p) for p in tree), "processes": len(tree)}


class Bench:
    def __init__(self, build, bare, bare_webengine, xhelper):
        self.build, self.xhelper = Path(build).resolve(), Path(xhelper).resolve()
        self.tmp = Path(tempfile.mkdtemp(prefix="chengfan-footprint-"))
        cache = (self.build / "CMakeCache.txt").read_text()
        probe = re.search(r"^CHENGFAN_PROBE_URL:\w+=(.*)$", cache, re.M).group(1)
        host = re.search(r"^CHENGFAN_PUBLISHER_HOST:\w+=(.*)$", cache, re.M).group(1)
        for url in (probe, host):
            if not re.fullmatch(r"http://127\.0\.0\.1:\d+", url):
                sys.exit(f"footprint: the chengfan build must point at loopback, not {url}")
        self.recorder = servers.Recorder()
        servers.start(self.recorder, int(probe.rsplit(":", 1)[1]), int(host.rsplit(":", 1)[1]))

        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"], pass_fds=(write_end,),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                sys.exit("footprint: Xvfb did not start")
            number += chunk
        os.close(read_end)

        (self.tmp / "runtime").mkdir(mode=0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if not k.lower().endswith("_proxy") and k != "QT_QPA_PLATFORM"}
        self.env.update(DISPLAY=":" + number.decode().strip(), QT_QPA_PLATFORM="xcb",
                        HOME=str(self.tmp), XDG_RUNTIME_DIR=str(self.tmp / "runtime"),
                        QTWEBENGINE_DISABLE_SANDBOX="1", NO_PROXY="*", no_proxy="*")
        # chengfan runs from a directory of its own, without Config.ini.
        (self.tmp / "program").mkdir()
        chengfan = self.tmp / "program" / "chengfan"
        # The browser module goes with the program: it is loaded from beside it.
        for name in ("chengfan", "libchengfan_browser.so"):
            shutil.copy2(self.build / "app" / name, self.tmp / "program" / name)
        self.programs = {"bare": ([Path(bare).resolve()], BARE_TITLE),
                         "bare+texts": ([Path(bare).resolve(), "texts"], BARE_TITLE),
                         "bare+we": ([Path(bare_webengine).resolve()], BARE_TITLE),
                         "chengfan": ([chengfan], MAIN_TITLE)}

    def x(self, *args):
        return subprocess.run([str(self.xhelper), *args], env=self.env, capture_output=True,
                              text=True, timeout=60)

    def launch(self, which):
        """Starts a program and returns (process, ms from start to its window
        being mapped)."""
        command, title = self.programs[which]
        watcher = subprocess.Popen([str(self.xhelper), "watchmap", title], env=self.env,
                                   stdout=subprocess.PIPE, text=True)
        assert watcher.stdout.readline().strip() == "ready"
        started = time.monotonic()
        process = subprocess.Popen([str(part) for part in command], cwd=self.tmp, env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            mapped = float(watcher.communicate(timeout=60)[0].strip())
        except subprocess.TimeoutExpired:
            watcher.kill()
            process.kill()
            sys.exit(f"footprint: the {which} window was never mapped")
        return process, (mapped - started) * 1000.0

    def close(self, process, title):
        found = self.x("find", title, "5000")
        if found.returncode == 0:
            self.x("close", found.stdout.split()[0])
        try:
            process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()

    def about_cycles(self, process, cycles=10):
        main = [int(v) for v in self.x("find", MAIN_TITLE, "5000").stdout.split()]
        left, top, width, height = ABOUT_BUTTON
        figures = []
        for _ in range(cycles):
            subprocess.run(["xdotool", "mousemove", "--sync", str(main[1] + left + width // 2),
                            str(main[2] + top + height // 2), "click", "1"],
                           env=self.env, check=True)
            about = self.x("find", ABOUT_TITLE, "15000")
            if about.returncode != 0:
                sys.exit("footprint: AboutWindow did not open")
            time.sleep(1.5)  # let the page load
            self.x("close", about.stdout.split()[0])
            if self.x("gone", ABOUT_TITLE, "10000").returncode != 0:
                sys.exit("footprint: AboutWindow did not close")
            time.sleep(1.0)
            figures.append(memory(process.pid))
        return figures

    def finish(self):
        self.xvfb.terminate()
        self.xvfb.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)


def mib(kib):
    return kib / 1024.0


def verdict(ok):
    return "met" if ok else "NOT MET"


def main():
    if len(sys.argv) not in (5, 6):
        print(__doc__)
        return 2
    runs = int(sys.argv[5]) if len(sys.argv) == 6 else 5
    bench = Bench(*sys.argv[1:5])
    try:
        results = {"chengfan": [], "bare": [], "bare+texts": [], "bare+we": []}
        print(f"start-up and idle memory, {runs} runs each (interleaved; bare+texts is the bare "
              "window showing the main window's texts, bare+we the bare window linked with the "
              "unused WebEngine libraries):", flush=True)
        for _ in range(runs):
            for which in ("bare", "bare+texts", "bare+we", "chengfan"):
                process, ms = bench.launch(which)
                time.sleep(SETTLE)
                mem = memory(process.pid)
                results[which].append((ms, mem))
                bench.close(process, bench.programs[which][1])
                print(f"  {which:10s} mapped after {ms:7.1f} ms   RSS {mib(mem['rss']):6.1f} MiB   "
                      f"with child processes RSS {mib(mem['tree_rss']):6.1f} MiB "
                      f"PSS {mib(mem['tree_pss']):6.1f} MiB ({mem['processes']} processes)",
                      flush=True)

        print(f"\nidle CPU over {IDLE_SPAN:.0f} s, both running side by side, no run started:",
              flush=True)
        procs = {which: bench.launch(which)[0] for which in ("bare", "chengfan")}
        time.sleep(SETTLE)
        before = {w: cpu_ms(children_of(p.pid)) for w, p in procs.items()}
        time.sleep(IDLE_SPAN)
        idle_cpu = {w: cpu_ms(children_of(p.pid)) - before[w] for w, p in procs.items()}
        for which in ("bare", "chengfan"):
            print(f"  {which:9s} {idle_cpu[which]:7.1f} ms CPU", flush=True)

        print("\nchengfan memory after each of 10 openings and closings of AboutWindow:",
              flush=True)
        about = bench.about_cycles(procs["chengfan"])
        for n, mem in enumerate(about, 1):
            print(f"  {n:2d}: RSS {mib(mem['rss']):6.1f} MiB   with child processes "
                  f"RSS {mib(mem['tree_rss']):6.1f} MiB PSS {mib(mem['tree_pss']):6.1f} MiB",
                  flush=True)
        bench.close(procs["bare"], BARE_TITLE)
        bench.close(procs["chengfan"], MAIN_TITLE)

        start = {w: statistics.median(ms for ms, _ in r) for w, r in results.items()}
        tree_rss = {w: statistics.median(m["tree_rss"] for _, m in r) for w, r in results.items()}
        # Least-squares slope of the memory over the openings after the first,
        # which starts the browser engine's processes.
        xs = list(range(2, len(about) + 1))
        ys = [m["tree_rss"] for m in about[1:]]
        mean_x, mean_y = statistics.fmean(xs), statistics.fmean(ys)
        slope = (sum((x - mean_x) * (y - mean_y) for x, y in zip(xs, ys))
                 / sum((x - mean_x) ** 2 for x in xs))
        print("\nsummary (medians):")
        print(f"  start-up: chengfan {start['chengfan']:.1f} ms, bare window {start['bare']:.1f} ms, "
              f"ratio {start['chengfan'] / start['bare']:.2f}")
        print(f"    aim: within 1.5x the bare window: {verdict(start['chengfan'] <= 1.5 * start['bare'])}; "
              f"under 300 ms: {verdict(start['chengfan'] < 300)}")
        print(f"  idle resident memory (with child processes): chengfan {mib(tree_rss['chengfan']):.1f} MiB, "
              f"bare window {mib(tree_rss['bare']):.1f} MiB, ratio {tree_rss['chengfan'] / tree_rss['bare']:.2f}")
        print(f"    aim: within 1.5x the bare window: {verdict(tree_rss['chengfan'] <= 1.5 * tree_rss['bare'])}")
        print(f"  the bare window showing the main window's Chinese texts in the same faces: "
              f"start-up {start['bare+texts']:.1f} ms, resident memory "
              f"{mib(tree_rss['bare+texts']):.1f} MiB; chengfan against it: start-up "
              f"{start['chengfan'] / start['bare+texts']:.2f}x, memory "
              f"{tree_rss['chengfan'] / tree_rss['bare+texts']:.2f}x")
        print(f"  the bare window with the WebEngine libraries linked (never used): "
              f"start-up {start['bare+we']:.1f} ms, resident memory {mib(tree_rss['bare+we']):.1f} MiB")
        print(f"  idle CPU in {IDLE_SPAN:.0f} s: chengfan {idle_cpu['chengfan']:.0f} ms, "
              f"bare window {idle_cpu['bare']:.0f} ms")
        # One clock tick is the resolution of the kernel's accounting.
        print(f"    aim: no measurable CPU: "
              f"{verdict(idle_cpu['chengfan'] <= idle_cpu['bare'] + 2 * 1000.0 / TICK)}")
        print(f"  AboutWindow x10: RSS with child processes from {mib(about[0]['tree_rss']):.1f} "
              f"to {mib(about[-1]['tree_rss']):.1f} MiB; trend after the first opening "
              f"{slope / 1024.0:+.2f} MiB per opening")
        # A page and its view kept alive after closing would cost several MiB each.
        print(f"    aim: not growing (trend under 1 MiB per opening): {verdict(slope < 1024)}")
        return 0
    finally:
        bench.finish()


if __name__ == "__main__":
    sys.exit(main())
