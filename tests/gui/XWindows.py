"""The X server side of the window checks: top-level windows, keys and clicks, screenshots.

Keys and clicks go through xdotool (the XTEST extension, as a user's would); what xdotool cannot
do without a window manager (ask a window to close, wait for a window to be mapped without
polling) is done through libX11 directly.
"""

import ctypes
import ctypes.util
import select
import subprocess
import time

_SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
_MAP_NOTIFY = 19
_CLIENT_MESSAGE = 33
_ANY_PROPERTY_TYPE = 0


class _MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("override_redirect", ctypes.c_int)]


class _ClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _Rectangle(ctypes.Structure):
    _fields_ = [("x", ctypes.c_short), ("y", ctypes.c_short), ("width", ctypes.c_ushort),
                ("height", ctypes.c_ushort)]


class _Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("map", _MapEvent), ("client", _ClientMessageEvent),
                ("pad", ctypes.c_long * 24)]


def _load_xlib():
    xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    xlib.XDefaultRootWindow.restype = ctypes.c_ulong
    xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    xlib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    xlib.XConnectionNumber.argtypes = [ctypes.c_void_p]
    xlib.XPending.argtypes = [ctypes.c_void_p]
    xlib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_Event)]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_Event)]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xlib.XGetWindowProperty.argtypes = [
        ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
        ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
        ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
    xlib.XFree.argtypes = [ctypes.c_void_p]
    return xlib


def _load_xext():
    xext = ctypes.CDLL(ctypes.util.find_library("Xext") or "libXext.so.6")
    xext.XShapeGetRectangles.restype = ctypes.POINTER(_Rectangle)
    xext.XShapeGetRectangles.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                         ctypes.POINTER(ctypes.c_int),
                                         ctypes.POINTER(ctypes.c_int)]
    return xext


class Display:
    """A connection to the X server named by DISPLAY that watches windows being mapped."""

    def __init__(self):
        self._x = _load_xlib()
        self._xext = _load_xext()
        self._dpy = self._x.XOpenDisplay(None)
        if not self._dpy:
            raise RuntimeError("cannot open the X display")
        self._root = self._x.XDefaultRootWindow(self._dpy)
        self._x.XSelectInput(self._dpy, self._root, _SUBSTRUCTURE_NOTIFY_MASK)
        self._x.XSync(self._dpy, 0)

    def close(self):
        if self._dpy:
            self._x.XCloseDisplay(self._dpy)
            self._dpy = None

    def _atom(self, name):
        return self._x.XInternAtom(self._dpy, name.encode(), 0)

    def next_map(self, deadline):
        """The next top-level window mapped and the monotonic time its notice arrived, or
        (None, None) at the deadline."""
        event = _Event()
        fd = self._x.XConnectionNumber(self._dpy)
        while True:
            while self._x.XPending(self._dpy):
                self._x.XNextEvent(self._dpy, ctypes.byref(event))
                if event.type == _MAP_NOTIFY:
                    return event.map.window, time.monotonic()
            left = deadline - time.monotonic()
            if left <= 0:
                return None, None
            select.select([fd], [], [], left)

    def name(self, window):
        """The window's title (_NET_WM_NAME, else WM_NAME), "" when it has none."""
        for prop in ("_NET_WM_NAME", "WM_NAME"):
            data = self._property(window, prop)
            if data:
                return data.decode("utf-8", "replace")
        return ""

    def _property(self, window, prop):
        kind = ctypes.c_ulong()
        fmt = ctypes.c_int()
        count = ctypes.c_ulong()
        after = ctypes.c_ulong()
        data = ctypes.c_void_p()
        status = self._x.XGetWindowProperty(
            self._dpy, window, self._atom(prop), 0, 4096, 0, _ANY_PROPERTY_TYPE,
            ctypes.byref(kind), ctypes.byref(fmt), ctypes.byref(count), ctypes.byref(after),
            ctypes.byref(data))
        if status != 0 or not data.value:
            return b""
        try:
            return ctypes.string_at(data.value, count.value)
        finally:
            self._x.XFree(data)

    def shown_area(self, window):
        """How many pixels of a window its shape lets the screen show (all of them when it has
        no shape of its own)."""
        count = ctypes.c_int()
        ordering = ctypes.c_int()
        rectangles = self._xext.XShapeGetRectangles(self._dpy, window, 0, ctypes.byref(count),
                                                    ctypes.byref(ordering))  # ShapeBounding
        if not rectangles:
            return 0
        try:
            return sum(rectangles[i].width * rectangles[i].height for i in range(count.value))
        finally:
            self._x.XFree(rectangles)

    def request_close(self, window):
        """Asks a window to close as a window manager's close button does (WM_DELETE_WINDOW)."""
        event = _Event()
        event.client.type = _CLIENT_MESSAGE
        event.client.window = window
        event.client.message_type = self._atom("WM_PROTOCOLS")
        event.client.format = 32
        event.client.data[0] = self._atom("WM_DELETE_WINDOW")
        event.client.data[1] = 0
        self._x.XSendEvent(self._dpy, window, 0, 0, ctypes.byref(event))
        self._x.XFlush(self._dpy)


def xdotool(*args, check=True):
    """Runs xdotool; its output, stripped."""
    done = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                          timeout=30)
    if check and done.returncode != 0:
        raise RuntimeError(f"xdotool {' '.join(map(str, args))} failed: {done.stderr.strip()}")
    return done.stdout.strip()


def visible_windows(pid):
    """The mapped top-level windows of a process."""
    out = xdotool("search", "--onlyvisible", "--pid", pid, check=False)
    return [int(w) for w in out.split()]


def geometry(window):
    """(x, y, width, height) of a window, or None when it is gone."""
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", str(window)],
                         capture_output=True, text=True, timeout=30)
    if out.returncode != 0:
        return None
    values = dict(line.split("=", 1) for line in out.stdout.split() if "=" in line)
    return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def focus(window):
    xdotool("windowfocus", "--sync", window)


def key(*keys):
    xdotool("key", "--clearmodifiers", "--delay", 40, *keys)


def type_text(text):
    """Types a text as a keyboard would, one character after the other."""
    xdotool("type", "--clearmodifiers", "--delay", 20, text)


def click(x, y):
    # "mousemove --sync" waits for the pointer to move, which it never does when it is there
    # already (a second click on the same control).
    here = dict(part.split(":") for part in xdotool("getmouselocation").split()[:2])
    if (int(here["x"]), int(here["y"])) == (x, y):
        xdotool("click", 1)
    else:
        xdotool("mousemove", "--sync", x, y, "click", 1)


def pixels(box):
    """The screen's content in a box (x, y, width, height), as raw bytes."""
    x, y, width, height = box
    return subprocess.run(["import", "-silent", "-window", "root", "-crop",
                           f"{width}x{height}+{x}+{y}", "+repage", "rgb:-"],
                          check=True, capture_output=True, timeout=60).stdout


def screenshot(path, windows):
    """Saves the part of the screen that holds the given windows (the whole screen when none is
    given) as a PNG file."""
    boxes = [g for g in (geometry(w) for w in windows) if g]
    command = ["import", "-silent", "-window", "root"]
    if boxes:
        left = max(0, min(b[0] for b in boxes))
        top = max(0, min(b[1] for b in boxes))
        right = max(b[0] + b[2] for b in boxes)
        bottom = max(b[1] + b[3] for b in boxes)
        command += ["-crop", f"{right - left}x{bottom - top}+{left}+{top}", "+repage"]
    subprocess.run(command + [str(path)], check=True, timeout=60)
