"""The real program as a user runs it, for the long scripts (scripts/soak, scripts/kill-test).

A private Xvfb server, gateway-sim and veltra-desktop with a data folder of their own; the
window is driven with xdotool. Every process is started here and ended here by its own id,
also when the script fails or is interrupted.
"""

import atexit
import ctypes
import os
import re
import select
import signal
import struct
import subprocess
import time
import zlib

TITLE = "veltraDesktop - v1.07.00"
# CONNECT and the language buttons on the connect page, in display coordinates (centres).
CONNECT_BUTTON = (445, 210)
GERMAN_BUTTON = (445, 285)
ENGLISH_BUTTON = (615, 285)

_started = []  # Popen objects, ended in reverse order at exit


_libc = ctypes.CDLL(None, use_errno=True)


def _die_with_parent():
    """In the child: end with the script, also when the script itself is killed."""
    _libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def _end_all():
    for process in reversed(_started):
        stop(process)
    _started.clear()


def _on_signal(number, _frame):
    raise SystemExit(128 + number)


atexit.register(_end_all)
signal.signal(signal.SIGTERM, _on_signal)
signal.signal(signal.SIGHUP, _on_signal)


def stop(process, term_first=False, wait_s=10.0):
    """Ends one process we started, by its id; returns its exit status or None."""
    if process.poll() is None:
        try:
            os.kill(process.pid, signal.SIGTERM if term_first else signal.SIGKILL)
        except ProcessLookupError:
            pass
        try:
            process.wait(timeout=wait_s)
        except subprocess.TimeoutExpired:
            os.kill(process.pid, signal.SIGKILL)
            process.wait()
    if process in _started:
        _started.remove(process)
    return process.returncode


def describe_end(process):
    """How a process we started ended, for a failure message: "still runs", "ended with exit
    code N" or "ended with signal N (NAME)"."""
    code = process.poll()
    if code is None:
        return "still runs"
    if code < 0:
        try:
            name = signal.Signals(-code).name
        except ValueError:
            name = "unknown"
        return "ended with signal %d (%s)" % (-code, name)
    return "ended with exit code %d" % code


def report_ended():
    """A line for each process we started that ended by itself, as "NAME ended with ..."."""
    return ["%s %s" % (os.path.basename(p.args[0]), describe_end(p)) for p in _started
            if p.poll() is not None]


def start_xvfb(fbdir=None):
    """Starts Xvfb on a free display; returns (process, display text). With `fbdir` the
    server keeps its screen in a file there, which screen() reads."""
    read_end, write_end = os.pipe()
    extra = ["-fbdir", fbdir] if fbdir else []
    process = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
         "-nolisten", "tcp", "-noreset"] + extra,
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        preexec_fn=_die_with_parent)
    _started.append(process)
    os.close(write_end)
    text = b""
    deadline = time.time() + 15
    while b"\n" not in text and time.time() < deadline:
        ready, _, _ = select.select([read_end], [], [], 1.0)
        if ready:
            chunk = os.read(read_end, 64)
            if not chunk:
                break
            text += chunk
    os.close(read_end)
    if b"\n" not in text:
        raise RuntimeError("Xvfb reported no display")
    return process, ":" + text.decode().strip()


# The moment the simulated clock starts at unless the options give their own --start, so that a
# run sees the same sun, loads and battery whatever the host's time of day.
SIMULATOR_START = "2026-06-15T08:30"


def start_simulator(build, options, err_path):
    """Starts gateway-sim with --port 0, the fixed start and the options; returns (process, port)."""
    binary = os.path.join(build, "tools", "gateway-sim", "gateway-sim")
    options = list(options)
    if not any(o == "--start" or o.startswith("--start=") for o in options):
        options = ["--start", SIMULATOR_START] + options
    err = open(err_path, "ab")
    process = subprocess.Popen([binary, "--port", "0"] + options,
                               stdout=subprocess.PIPE, stderr=err, preexec_fn=_die_with_parent)
    _started.append(process)
    line = b""
    deadline = time.time() + 15
    while not line.endswith(b"\n") and time.time() < deadline:
        ready, _, _ = select.select([process.stdout], [], [], 1.0)
        if ready:
            byte = os.read(process.stdout.fileno(), 1)
            if not byte:
                break
            line += byte
    match = re.match(rb"listening on .*:(\d+)\n", line)
    if not match:
        raise RuntimeError("simulator did not get ready: %r" % line)
    return process, int(match.group(1))


def start_program(build, display, appdata, port, out_path, extra=()):
    binary = os.path.join(build, "application", "veltra-desktop")
    env = dict(os.environ)
    env.update({"DISPLAY": display, "APPDATA": appdata, "VELTRA_NO_MESSAGE_BOX": "1",
                "VELTRA_GATEWAY_PORT": str(port)})
    env.pop("VELTRA_HOST", None)
    out = open(out_path, "ab")
    # The working folder holds SimError.log; the program finds Data_Media beside itself.
    process = subprocess.Popen([binary, "--gateway", "127.0.0.1:%d" % port] + list(extra),
                               stdout=out, stderr=subprocess.STDOUT, env=env, cwd=appdata,
                               preexec_fn=_die_with_parent)
    _started.append(process)
    return process


class Screen:
    """The server's screen (an XWD file): pixel(x, y) as 0xRRGGBB in display coordinates."""

    def __init__(self, fbdir, origin):
        with open(os.path.join(fbdir, "Xvfb_screen0"), "rb") as f:
            data = f.read()
        fields = struct.unpack(">25I", data[:100])
        header, self.width, self.height = fields[0], fields[4], fields[5]
        self.line = fields[12]
        self.offset = header + fields[19] * 12
        self.data = data
        self.origin = origin

    def pixel(self, x, y):
        at = self.offset + (self.origin[1] + y) * self.line + 4 * (self.origin[0] + x)
        b, g, r = self.data[at], self.data[at + 1], self.data[at + 2]
        return r << 16 | g << 8 | b


def save_png(screen, path):
    """The display area (800 x 480) as a PNG, for looking at a failure."""
    rows = bytearray()
    for y in range(480):
        rows.append(0)
        for x in range(800):
            p = screen.pixel(x, y)
            rows += bytes((p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 800, 480, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(bytes(rows))) + chunk(b"IEND", b""))


def connect_page_shown(screen):
    """The white address field and the CONNECT button."""
    return screen.pixel(30, 195) == 0xFFFFFF and screen.pixel(380, 195) != 0


def pages_shown(screen):
    """The device pages: the first tab selected (light), the tabs beside it dark green."""
    tab = screen.pixel(6, 66)
    light = all(((tab >> s) & 0xFF) > 0xC0 for s in (0, 8, 16))
    return light and screen.pixel(30, 195) != 0xFFFFFF and screen.pixel(600, 65) == 0x006600


def wait_screen(fbdir, origin, check, timeout_s):
    deadline = time.time() + timeout_s
    while time.time() < deadline:
        try:
            if check(Screen(fbdir, origin)):
                return True
        except (OSError, struct.error, IndexError):
            pass
        time.sleep(0.1)
    return False


def xdotool(display, *args):
    env = dict(os.environ, DISPLAY=display)
    result = subprocess.run(["xdotool"] + [str(a) for a in args], env=env,
                            capture_output=True, text=True, timeout=10)
    return result.stdout


def window_origin(display, timeout_s=20.0):
    """The screen position of the display area's top left corner, or None."""
    deadline = time.time() + timeout_s
    while time.time() < deadline:
        ids = xdotool(display, "search", "--name", "^" + re.escape(TITLE) + "$").split()
        if ids:
            geometry = xdotool(display, "getwindowgeometry", ids[0])
            match = re.search(r"Position: (\d+),(\d+)", geometry)
            if match:
                return int(match.group(1)) + 1, int(match.group(2)) + 1
        time.sleep(0.2)
    return None


def click(display, origin, point):
    x, y = origin[0] + point[0], origin[1] + point[1]
    xdotool(display, "mousemove", x, y, "mousedown", 1)
    time.sleep(0.05)
    xdotool(display, "mouseup", 1)


def log_files(data):
    """The data-log files of a data folder by number."""
    found = []
    for name in os.listdir(data) if os.path.isdir(data) else []:
        match = re.fullmatch(r"log(\d+)\.csv", name)
        if match:
            found.append((int(match.group(1)), os.path.join(data, name)))
    return sorted(found)


def connect(display, origin, data, known_files, timeout_s=60.0, alive=lambda: True,
            first_press_s=0.0, press_every_s=30.0):
    """Presses CONNECT (after `first_press_s`, again every `press_every_s`) until a new log
    file shows a finished search; True when connected. A press while a search runs makes the
    page search once more, so presses stay further apart than a search lasts."""
    start = time.time()
    deadline = start + timeout_s
    last_click = None
    while time.time() < deadline and alive():
        if set(log_files(data)) - set(known_files):
            return True
        now = time.time()
        if now - start >= first_press_s and (last_click is None or
                                             now - last_click > press_every_s):
            click(display, origin, CONNECT_BUTTON)
            last_click = now
        time.sleep(0.25)
    return False


def read_status(pid):
    """(resident kB, cpu ticks, open descriptors) of a process, or None when it is gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            rss = int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        ticks = int(fields[11]) + int(fields[12])
        fds = len(os.listdir("/proc/%d/fd" % pid))
        return rss, ticks, fds
    except (OSError, AttributeError):
        return None


def gui_passes(pid):
    """The GUI task's passes so far: each ends in a 1 ms sleep, one voluntary context switch of
    the thread named "gui-task". None when it is not found."""
    try:
        for task in os.listdir("/proc/%d/task" % pid):
            with open("/proc/%d/task/%s/comm" % (pid, task)) as f:
                if f.read().strip() != "gui-task":
                    continue
            with open("/proc/%d/task/%s/status" % (pid, task)) as f:
                return int(re.search(r"^voluntary_ctxt_switches:\s+(\d+)", f.read(),
                                     re.M).group(1))
    except (OSError, AttributeError):
        pass
    return None


class LogChecker:
    """Reads data-log files as they grow: every line whole, its field count that of the
    header, time stamps rising without doubles over all files."""

    STAMP = re.compile(r"(\d\d)-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)")

    def __init__(self):
        self.offsets = {}  # path -> bytes consumed
        self.fields = {}   # path -> field count of header line 1
        self.header_lines = {}
        self.last_stamp = None
        self.last_path = None
        self.lines = 0
        self.problems = []
        self.max_gap_min = 0
        self.file_order = []

    @staticmethod
    def minutes(stamp):
        # Minutes since 2000 on a 31-day month calendar: only used for order and gaps.
        y, mo, d, h, mi, _ = stamp
        return ((((y * 12 + mo) * 31 + d) * 24 + h) * 60) + mi

    def read(self, path):
        """Consumes the whole lines added to the file; returns the number of data lines."""
        if path not in self.offsets:
            self.offsets[path] = 0
            self.header_lines[path] = 0
            self.file_order.append(path)
        with open(path, "rb") as f:
            f.seek(self.offsets[path])
            data = f.read()
        end = data.rfind(b"\n")
        if end < 0:
            return 0
        chunk = data[:end + 1]
        self.offsets[path] += len(chunk)
        added = 0
        for raw in chunk.split(b"\n")[:-1]:
            line = raw.decode("latin-1")
            if not line.endswith(";\r"):
                self.problems.append("%s: line not whole: %r" % (path, line[:80]))
                continue
            fields = line[:-2].split(";")
            if self.header_lines[path] < 2:
                expected = "Time" if self.header_lines[path] == 0 else "Format"
                if fields[0] != expected:
                    self.problems.append("%s: header %d is %r" % (path, self.header_lines[path],
                                                                 line[:40]))
                if self.header_lines[path] == 0:
                    self.fields[path] = len(fields)
                self.header_lines[path] += 1
                continue
            if len(fields) != self.fields.get(path, -1):
                self.problems.append("%s: %d fields instead of %d" %
                                     (path, len(fields), self.fields.get(path, -1)))
                continue
            match = self.STAMP.fullmatch(fields[0])
            if not match:
                self.problems.append("%s: bad time stamp %r" % (path, fields[0]))
                continue
            stamp = tuple(int(g) for g in match.groups())
            if self.last_stamp is not None:
                if stamp == self.last_stamp:
                    self.problems.append("%s: doubled line %s" % (path, fields[0]))
                elif stamp < self.last_stamp:
                    self.problems.append("%s: time went back to %s" % (path, fields[0]))
                elif path == self.last_path:
                    gap = self.minutes(stamp) - self.minutes(self.last_stamp)
                    self.max_gap_min = max(self.max_gap_min, gap)
            self.last_stamp = stamp
            self.last_path = path
            self.lines += 1
            added += 1
        return added

    def tail_problem(self, path):
        """A line left without its end in a file that is no longer written."""
        with open(path, "rb") as f:
            f.seek(self.offsets.get(path, 0))
            rest = f.read()
        return rest if rest else None
