"""The running program and what the checks do with it: start it with its settings, the CD
database test server and the accessibility bus; wait for windows and controls; press keys, click
controls, take screenshots; stop everything."""

import os
import subprocess
import time
from pathlib import Path

import pyatspi

import AccessibleTree as at
import XWindows as xw

SCALE = float(os.environ.get("GUI_TIMEOUT_SCALE", "1"))


class CheckFailed(Exception):
    pass


class Program:
    """The running quillonrip, with its log kept for the failure report."""

    def __init__(self, command, env, log):
        self.log = log
        with open(log, "wb") as out:
            self.process = subprocess.Popen(command, env=env, stdout=out,
                                            stderr=subprocess.STDOUT)
        self.pid = self.process.pid

    def check_running(self, doing):
        code = self.process.poll()
        if code is not None:
            how = f"signal {-code}" if code < 0 else f"exit status {code}"
            raise CheckFailed(f"quillonrip ended ({how}) while {doing}")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def tail(self, lines=30):
        try:
            return "\n".join(Path(self.log).read_text(errors="replace").splitlines()[-lines:])
        except OSError:
            return ""


class Session:
    def __init__(self, bin_dir, cddb_server, shots, work):
        self.bin = Path(bin_dir)
        self.cddb_server = cddb_server
        self.shots = Path(shots)
        self.work = Path(work)
        self.out = self.work / "out"
        # The program's home folder (the tag editor's first place) and the converter's folder.
        self.home = self.work / "home"
        self.converted = self.work / "converted"
        self.config = self.work / "config"
        self.settings = self.config / "Tovalen" / "QuillonRip.conf"
        self.children = []
        self.program = None
        self.x = xw.Display()
        self.shot_count = 0
        self.began = time.monotonic()

    # Waiting ----------------------------------------------------------------------------------

    def wait(self, what, condition, timeout=15):
        """Polls condition until it gives a true value, which it returns; fails after timeout
        seconds (scaled for slow builds) or when the program ends meanwhile."""
        deadline = time.monotonic() + timeout * SCALE
        last_error = None
        while True:
            if self.program is not None:
                self.program.check_running(f"waiting for {what}")
            try:
                value = condition()
                if value:
                    return value
            except Exception as error:  # controls may vanish or not exist yet while polled
                last_error = error
            if time.monotonic() > deadline:
                detail = f" (last error: {last_error})" if last_error else ""
                raise CheckFailed(f"timed out after {timeout * SCALE:.0f} s waiting for "
                                  f"{what}{detail}")
            time.sleep(0.1)

    def window(self, title, timeout=20):
        """The X id of the program's visible window whose title starts with title."""
        def found():
            for w in xw.visible_windows(self.program.pid):
                if self.x.name(w).startswith(title):
                    return w
            return None
        return self.wait(f"the window '{title}'", found, timeout)

    def new_window(self, known, what, timeout=20):
        """A visible window of the program that is not among known."""
        return self.wait(what, lambda: next(
            (w for w in xw.visible_windows(self.program.pid) if w not in known), None), timeout)

    def gone(self, window, what, timeout=15):
        self.wait(f"{what} to close",
                  lambda: window not in xw.visible_windows(self.program.pid), timeout)

    def accessible_window(self, name, timeout=20):
        def found():
            app = self.application()
            for w in at.windows(app):
                if at.plain(w.name or "").startswith(name):
                    return w
            return None
        return self.wait(f"the accessible window '{name}'", found, timeout)

    def application(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in at.children(desktop):
            if app is not None and app.get_process_id() == self.program.pid:
                return app
        return None

    def control(self, root, roles, name, what=None, into_menus=False, timeout=10):
        label = what or f"the control '{name}'"
        return self.wait(label, lambda: at.find(root, roles, name, into_menus), timeout)

    # Actions ----------------------------------------------------------------------------------

    def keys(self, window, *keys):
        xw.focus(window)
        xw.key(*keys)

    def click(self, node):
        x, y = at.centre(node)
        xw.click(x, y)

    def shot(self, name, windows):
        self.shot_count += 1
        path = self.shots / f"{self.shot_count:02d}-{name}.png"
        xw.screenshot(path, windows)
        print(f"gui: screenshot {path}", flush=True)

    def step(self, text):
        print(f"gui: {time.monotonic() - self.began:6.1f} s  {text}", flush=True)

    # Set-up -----------------------------------------------------------------------------------

    def start(self, disc):
        self.out.mkdir(parents=True)
        self.settings.parent.mkdir(parents=True)
        entries = self.work / "entries"
        disc.write_entry(entries)
        server = subprocess.Popen([self.cddb_server, "--entries", str(entries)],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.children.append(server)
        ports = dict(p.split("=") for p in server.stdout.readline().split())
        if "http" not in ports:
            raise CheckFailed("the CD database test server did not start")
        self.settings.write_text("[Main]\n"
                                 f"FilePath={self.out}\n"
                                 "RipToFormat=WAV\n"
                                 f"ConvFilePath={self.converted}\n"
                                 f"FreeDBServer=127.0.0.1:{ports['http']}\n")
        self.settings_before = self.settings.read_text()

        bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        self.children.append(bus)
        self.wait("the accessibility bus", lambda: subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
             "org.freedesktop.DBus.NameHasOwner", "string:org.a11y.Bus"],
            capture_output=True, text=True).stdout.strip().endswith("true"))

        runtime = self.work / "runtime"
        runtime.mkdir(mode=0o700)
        self.home.mkdir(exist_ok=True)
        env = dict(os.environ, HOME=str(self.home), XDG_CONFIG_HOME=str(self.config),
                   XDG_RUNTIME_DIR=str(runtime), QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QT_QPA_PLATFORM="xcb", LC_ALL="C.UTF-8")
        self.program = Program([str(self.bin / "quillonrip"), "--drive", str(disc.sheet)], env,
                               self.work / "quillonrip.log")

    def stop(self):
        if self.program is not None:
            self.program.stop()
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    child.kill()
        self.x.close()

    def report_failure(self):
        try:
            xw.screenshot(self.shots / "failure.png", [])
            print(f"gui: screen at the failure: {self.shots / 'failure.png'}")
        except Exception:
            pass
        if self.program is not None:
            titles = [self.x.name(w) for w in xw.visible_windows(self.program.pid)]
            print(f"gui: windows showing: {titles}")
            print("gui: the program's output ends with:\n" + self.program.tail())
            try:
                print("gui: the program's windows as the accessibility bus shows them:\n" +
                      "\n".join(at.dump(self.application())))
            except Exception as error:
                print(f"gui: the accessibility bus cannot be read: {error}")
