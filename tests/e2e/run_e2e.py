#!/usr/bin/env python3
"""Drives the real chengfan program under Xvfb the way a user does: clicks and
typing at the controls' positions, against loopback servers started here.

    run_e2e.py BUILD_DIR

BUILD_DIR holds a chengfan built with its probe address and publisher host on
127.0.0.1 (read back from BUILD_DIR/CMakeCache.txt). Screenshots and logs of
every stage go to BUILD_DIR/e2e-run/. Exits non-zero at the first failed check.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, str(Path(__file__).resolve().parent))
import servers  # noqa: E402

MAIN_TITLE = "澄帆3.0版 (青禾文社）"
NEW_TASK_TITLE = "澄帆3.0版新增"
LOOP_TIME_TITLE = "澄帆3.0版循环时间"
MESSAGE_TITLE = "温馨提示"

# Control rectangles (left, top, width, height) in their window's client area.
MAIN = {
    "label5": (0, 64, 384, 78),
    "button9_new_task": (136, 159, 96, 48),
    "button4_loop_time": (290, 427, 70, 40),
    "button1_start": (8, 488, 100, 50),
    "button2_stop": (120, 485, 100, 50),
    "button3_exit": (231, 481, 100, 50),
}
NEW_TASK = {
    "edit1_url": (0, 96, 304, 32),
    "edit2_save_path": (0, 176, 304, 31),
    "button1_next": (16, 224, 72, 40),
    "button3_save": (112, 224, 80, 40),
}
LOOP_TIME = {
    "edit1_minutes": (56, 66, 96, 48),
    "button1_change": (61, 144, 80, 48),
}

TASK_GAP = 10.0      # seconds between the tasks of a pass
LOOP_PERIOD = 30.0   # a loop time of 0.5 minutes
TOLERANCE = 2.5      # seconds


class CheckFailed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise CheckFailed(what)
    print("  ok:", what, flush=True)


class Session:
    def __init__(self, build_dir):
        self.build = Path(build_dir).resolve()
        self.out = self.build / "e2e-run"
        shutil.rmtree(self.out, ignore_errors=True)
        self.out.mkdir(parents=True)
        self.tmp = Path(tempfile.mkdtemp(prefix="chengfan-e2e-"))
        self.shot_number = 0
        self.xvfb = None
        self.program = None
        self.here = Path(__file__).resolve().parent

        cache = (self.build / "CMakeCache.txt").read_text()
        probe = re.search(r"^CHENGFAN_PROBE_URL:\w+=(.*)$", cache, re.M).group(1)
        host = re.search(r"^CHENGFAN_PUBLISHER_HOST:\w+=(.*)$", cache, re.M).group(1)
        for url in (probe, host):
            if not re.fullmatch(r"http://127\.0\.0\.1:\d+", url):
                raise CheckFailed(f"the test build must point at loopback, not {url}")
        self.publisher = host
        self.probe_port = int(probe.rsplit(":", 1)[1])
        self.publisher_port = int(host.rsplit(":", 1)[1])

    # ----- set-up -----------------------------------------------------------
    def start_display(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=open(self.out / "xvfb.log", "wb"))
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise CheckFailed("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()

    def build_helper(self):
        self.xhelper = self.out / "xhelper"
        subprocess.run(["cc", "-O2", "-o", str(self.xhelper), str(self.here / "xhelper.c"),
                        "-lX11"], check=True)

    def prepare_desktop(self):
        """A private home whose default handler for web addresses is a recorder
        that appends each address it is given to a file."""
        home = self.tmp / "home"
        (home / "config").mkdir(parents=True)
        (home / "data" / "applications").mkdir(parents=True)
        self.browser_record = self.tmp / "browser-record.txt"
        recorder = self.tmp / "recorder.sh"
        recorder.write_text(f"#!/bin/sh\nprintf '%s\\n' \"$*\" >> '{self.browser_record}'\n")
        recorder.chmod(0o755)
        (home / "data" / "applications" / "e2e-recorder.desktop").write_text(
            "[Desktop Entry]\nType=Application\nName=Recorder\nNoDisplay=true\n"
            f"Exec={recorder} %u\n"
            "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n")
        (home / "config" / "mimeapps.list").write_text(
            "[Default Applications]\n"
            "x-scheme-handler/http=e2e-recorder.desktop\n"
            "x-scheme-handler/https=e2e-recorder.desktop\n")
        env = {k: v for k, v in os.environ.items()
               if not k.lower().endswith("_proxy") and not k.startswith("XDG_")
               and k not in ("QT_QPA_PLATFORM", "BROWSER", "DESKTOP_SESSION")}
        env.update(DISPLAY=self.display, HOME=str(home), QT_QPA_PLATFORM="xcb",
                   XDG_CONFIG_HOME=str(home / "config"), XDG_DATA_HOME=str(home / "data"),
                   XDG_RUNTIME_DIR=str(self.tmp / "runtime"), BROWSER=str(recorder),
                   QTWEBENGINE_DISABLE_SANDBOX="1", NO_PROXY="*", no_proxy="*", LANG="C.UTF-8")
        (self.tmp / "runtime").mkdir(mode=0o700)
        self.env = env

    def prepare_program(self):
        """The program runs from a directory of its own (Config.ini lives beside
        it) while its working directory is elsewhere."""
        self.program_dir = self.tmp / "program"
        self.work_dir = self.tmp / "work"
        self.save_dir = self.tmp / "saved"
        for d in (self.program_dir, self.work_dir, self.save_dir / "sub"):
            d.mkdir(parents=True)
        self.executable = self.program_dir / "chengfan"
        # The browser module goes with the program: it is loaded from beside it.
        for name in ("chengfan", "libchengfan_browser.so"):
            shutil.copy2(self.build / "app" / name, self.program_dir / name)

    # ----- X helpers --------------------------------------------------------
    def x(self, *args, timeout=20):
        return subprocess.run([str(self.xhelper), *args], env=self.env, capture_output=True,
                              text=True, timeout=timeout)

    def find(self, title, timeout_ms=15000):
        result = self.x("find", title, str(timeout_ms), timeout=timeout_ms / 1000 + 5)
        if result.returncode != 0:
            self.screenshot("missing-window")
            raise CheckFailed(f'window "{title}" did not appear')
        wid, x, y, w, h = (int(v) for v in result.stdout.split())
        return {"id": wid, "x": x, "y": y, "w": w, "h": h}

    def present(self, title):
        return self.x("find", title, "0").returncode == 0

    def wait_gone(self, title, timeout_ms=10000):
        result = self.x("gone", title, str(timeout_ms), timeout=timeout_ms / 1000 + 5)
        check(result.returncode == 0, f'window "{title}" closed')

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=20)

    def click(self, window, rect):
        left, top, width, height = rect
        self.xdotool("mousemove", "--sync", str(window["x"] + left + width // 2),
                     str(window["y"] + top + height // 2), "click", "1")
        time.sleep(0.15)

    def type_into(self, window, rect, text):
        self.click(window, rect)
        self.xdotool("type", "--delay", "15", text)
        time.sleep(0.1)

    def key(self, name):
        self.xdotool("key", name)
        time.sleep(0.15)

    def screenshot(self, stage):
        self.shot_number += 1
        name = self.out / f"{self.shot_number:02d}-{stage}.png"
        subprocess.run(["import", "-display", self.display, "-window", "root", str(name)],
                       env=self.env, capture_output=True, timeout=30)

    def answer_message(self, stage):
        """Checks that the message box is up, records it and closes it with
        Enter, which the box's only button takes."""
        box = self.find(MESSAGE_TITLE, 15000)
        self.screenshot(stage)
        # The box is modal and active; move the pointer over it so that the key
        # reaches it even if the display's focus follows the pointer.
        self.xdotool("mousemove", "--sync", str(box["x"] + box["w"] // 2),
                     str(box["y"] + 10))
        self.key("Return")
        self.wait_gone(MESSAGE_TITLE)

    # ----- the program ------------------------------------------------------
    def launch(self, stage):
        log = open(self.out / f"chengfan-{stage}.log", "wb")
        self.program = subprocess.Popen([str(self.executable)], cwd=self.work_dir, env=self.env,
                                        stdout=log, stderr=subprocess.STDOUT)
        main = self.find(MAIN_TITLE, 30000)
        time.sleep(1.0)  # let the window settle and the notice page load
        self.screenshot(f"{stage}-started")
        return main

    def wait_exit(self, what, timeout=20):
        try:
            code = self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.screenshot(f"{what}-still-running")
            self.program.kill()
            self.program.wait()
            raise CheckFailed(f"{what}: the program did not end")
        self.program = None
        check(code == 0, f"{what}: exit code 0 (got {code})")

    def files_state(self):
        state = {}
        for root in (self.program_dir, self.work_dir, self.save_dir):
            for path in sorted(root.rglob("*")):
                if path.is_file():
                    data = path.read_bytes()
                    state[str(path)] = (path.stat().st_mtime_ns, hashlib.sha256(data).hexdigest())
        return state

    def close(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            self.xvfb.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)


def expected_config(tasks):
    def gbk(text):
        return text.encode("gbk")
    lines = [b"[" + gbk("动态网址") + b"]"]
    lines += [b"%d=" % n + url.encode() for n, (url, _) in enumerate(tasks, 1)]
    lines += [b"[" + gbk("储存地址") + b"]"]
    lines += [b"%d=" % n + path.encode() for n, (_, path) in enumerate(tasks, 1)]
    lines += [b"[ID]", b"ID=%d" % len(tasks)]
    lines += [b"[" + gbk("循环时间") + b"]", gbk("时间") + b"=0.5"]
    return b"".join(line + b"\r\n" for line in lines)


def set_up_tasks(s, recorder, tasks):
    print("stage 1: three tasks and the loop time, typed into the dialogs", flush=True)
    main = s.launch("setup")
    config = s.program_dir / "Config.ini"
    check(not config.exists(), "no Config.ini before the first save")

    s.click(main, MAIN["button9_new_task"])
    dialog = s.find(NEW_TASK_TITLE)
    s.screenshot("new-task-window")
    for number, (url, path) in enumerate(tasks, 1):
        if number > 1:
            s.click(dialog, NEW_TASK["button1_next"])
            s.answer_message(f"next-task-{number}")
        s.type_into(dialog, NEW_TASK["edit1_url"], url)
        s.type_into(dialog, NEW_TASK["edit2_save_path"], path)
        s.screenshot(f"task-{number}-typed")
        s.click(dialog, NEW_TASK["button3_save"])
        s.answer_message(f"task-{number}-saved")
    s.click(dialog, (0, 0, 8, 8))
    s.key("Escape")
    s.wait_gone(NEW_TASK_TITLE)

    s.click(main, MAIN["button4_loop_time"])
    dialog = s.find(LOOP_TIME_TITLE)
    s.type_into(dialog, LOOP_TIME["edit1_minutes"], "0.5")
    s.screenshot("loop-time-typed")
    s.click(dialog, LOOP_TIME["button1_change"])
    s.answer_message("loop-time-saved")
    s.click(dialog, (0, 0, 8, 8))
    s.key("Escape")
    s.wait_gone(LOOP_TIME_TITLE)
    time.sleep(1.5)  # the refresh timer copies the file into the main window
    s.screenshot("main-after-setup")

    written = config.read_bytes() if config.exists() else b""
    (s.out / "Config.ini").write_bytes(written)
    expected = expected_config(tasks)
    if written != expected:
        print(f"  expected Config.ini {expected!r}\n  got               {written!r}")
    check(written == expected,
          "Config.ini holds the GBK sections in order, CRLF line ends, nothing else")
    return main


def run_passes(s, recorder, main, tasks, targets):
    print("stage 2: 启动, two passes and the start of a third, then 终止", flush=True)
    recorder.clear()
    started = time.monotonic()
    s.click(main, MAIN["button1_start"])
    wanted = ["/pages/1.html", "/pages/2.html", "/pages/3.html"] * 2 + ["/pages/1.html"]
    deadline = started + 2 * TASK_GAP + 2 * LOOP_PERIOD + 15
    shots = {2: "first-pass-task-2", 4: "second-pass", 7: "third-pass"}
    pages = []
    while time.monotonic() < deadline:
        pages = [e for e in recorder.snapshot() if e[1] == "publisher" and e[3].startswith("/pages/")]
        if len(pages) in shots:
            s.screenshot(shots.pop(len(pages)))
        if len(pages) >= len(wanted):
            break
        if s.present(MESSAGE_TITLE):
            s.screenshot("unexpected-message")
            raise CheckFailed("a message box appeared during the run")
        time.sleep(0.2)
    s.click(main, MAIN["button2_stop"])
    s.answer_message("stopped")
    time.sleep(0.5)

    events = recorder.snapshot()
    (s.out / "server-log.txt").write_text(
        "".join(f"{t - started:9.3f} {srv} {kind} {path}\n" for t, srv, kind, path in events))
    order = [e[3] for e in pages]
    check(order == wanted, f"pages requested in the order of the tasks, pass after pass: {order}")
    times = [e[0] for e in pages]
    check(times[0] - started < 3.0, f"task 1 starts at once ({times[0] - started:.2f} s)")

    def gap(a, b, want, what):
        got = times[b] - times[a]
        check(abs(got - want) <= TOLERANCE, f"{what}: {got:.2f} s (want {want:.0f} s)")

    gap(0, 1, TASK_GAP, "task 2 after task 1")
    gap(1, 2, TASK_GAP, "task 3 after task 2")
    gap(2, 3, LOOP_PERIOD, "second pass after the end of the first")
    gap(3, 4, TASK_GAP, "second pass, task 2")
    gap(4, 5, TASK_GAP, "second pass, task 3")
    gap(3, 6, LOOP_PERIOD, "third pass after the start of the second")

    markers = [e for e in events if e[1] == "publisher" and e[3] == "/rj/1.txt"]
    probes = [e for e in events if e[1] == "probe" and e[2] == "connect"]
    check(len(markers) >= len(wanted), f"the update marker is read before every step ({len(markers)})")
    check(len(probes) >= len(wanted), f"the probe site is reached before every step ({len(probes)})")
    after_stop = [e for e in pages if e[0] > times[-1]]
    check(not after_stop, "nothing is fetched after 终止")

    for (url, path), target in zip(tasks, targets):
        served = recorder.last_body["/pages/" + url.rsplit("/", 1)[1]]
        got = target.read_bytes() if target.exists() else None
        check(got == served, f"{path} holds the last page served, byte for byte ({len(served)} bytes)")
    check(not (s.work_dir / "two.html").exists(),
          "the relative save path did not land in the working directory")


def exit_without_writing(s, how, action):
    before = s.files_state()
    action()
    s.wait_exit(f"exit by {how}")
    check(s.files_state() == before, f"exit by {how}: no file written on the way out")


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    s = Session(sys.argv[1])
    recorder = servers.Recorder()
    try:
        s.start_display()
        s.build_helper()
        s.prepare_desktop()
        s.prepare_program()
        servers.start(recorder, s.probe_port, s.publisher_port)
        base = s.publisher + "/pages/"
        tasks = [(base + "1.html", str(s.save_dir / "one.html")),
                 (base + "2.html", "two.html"),
                 (base + "3.html", str(s.save_dir / "sub" / "three.html"))]
        targets = [s.save_dir / "one.html", s.program_dir / "two.html",
                   s.save_dir / "sub" / "three.html"]

        main_window = set_up_tasks(s, recorder, tasks)
        run_passes(s, recorder, main_window, tasks, targets)

        print("stage 3: the three ways out", flush=True)
        exit_without_writing(s, "退出", lambda: s.click(main_window, MAIN["button3_exit"]))

        main_window = s.launch("esc")
        exit_without_writing(s, "Esc", lambda: (s.click(main_window, MAIN["label5"]),
                                                s.key("Escape")))

        main_window = s.launch("close-box")
        exit_without_writing(s, "the close box (WM_DELETE_WINDOW)",
                             lambda: s.x("close", str(main_window["id"])))

        print("stage 4: the update marker names this version", flush=True)
        recorder.marker = b"3.0\r\n"
        main_window = s.launch("update")
        recorder.clear()
        before = s.files_state()
        s.click(main_window, MAIN["button1_start"])
        s.answer_message("update-message")
        s.wait_exit("forced update")
        events = recorder.snapshot()
        check(any(e[3] == "/rj/1.txt" for e in events), "the update marker was read")
        check(not any(e[3].startswith("/pages/") for e in events), "no task was downloaded")
        # The handler is started detached and may write after the program ended.
        deadline = time.monotonic() + 10
        while not s.browser_record.exists() and time.monotonic() < deadline:
            time.sleep(0.1)
        time.sleep(0.3)
        opened = s.browser_record.read_text() if s.browser_record.exists() else ""
        check(opened.split() == [s.publisher + "/rj/1.php"],
              f"the default browser was handed the update page ({opened.strip()!r})")
        check(s.files_state() == before, "forced update: no file written")
        print("e2e: all checks passed", flush=True)
        return 0
    except CheckFailed as failure:
        print("e2e: FAILED:", failure, file=sys.stderr, flush=True)
        print(f"e2e: screenshots and logs in {s.out}", file=sys.stderr)
        return 1
    finally:
        s.close()


if __name__ == "__main__":
    sys.exit(main())
