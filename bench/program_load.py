"""The running program's own cost: CPU time (utime + stime from /proc/PID/stat) and resident
memory of veltra-desktop over a measuring window, on a private Xvfb server, against
gateway-sim on a free local port.

    python3 bench/program_load.py BUILD_DIR CASE [SECONDS]

CASE is one of
    home     default scenario, connected, the Home page on show (the simulator polling)
    wide     wide scenario, connected, the widest page (nine meters) on show
    connect  no gateway: the program waits on the connect page
    web1     like home, with the browser view on (--web) and one viewer reading its stream
    web8     the same with eight viewers

Prints one line: CASE cpu_percent rss_max_mib seconds. With PROGRAM_LOAD_PERF=FILE, perf
records a call-graph profile of the measuring window into FILE; with PROGRAM_LOAD_KEEP=1 the
scratch folder (the program's output, its data folder) is kept. Every process is started here and
ended here by its own id.
"""

import atexit
import http.client
import os
import re
import select
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time

TITLE = "veltraDesktop - v1.07.00"
CONNECT_BUTTON = (445, 210)  # display coordinates
TAB_ROW = 66                 # a row through the page tabs
DARK_GREEN = 0x006600        # tabs that are not selected

_started = []


def _end_all():
    for process in reversed(_started):
        if process.poll() is None:
            try:
                os.kill(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()
    _started.clear()


atexit.register(_end_all)
signal.signal(signal.SIGTERM, lambda number, _frame: sys.exit(128 + number))


def start_xvfb(fbdir):
    read_end, write_end = os.pipe()
    process = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
         "tcp", "-noreset", "-fbdir", fbdir],
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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
    return ":" + text.decode().strip()


def start_simulator(build, scenario, log):
    binary = os.path.join(build, "tools", "gateway-sim", "gateway-sim")
    # A fixed start time: the same simulated day, and so the same load, at any hour.
    process = subprocess.Popen([binary, "--port", "0", "--scenario", scenario,
                                "--start", "2026-06-15T08:30"],
                               stdout=subprocess.PIPE, stderr=log)
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
        raise RuntimeError("gateway-sim did not get ready: %r" % line)
    return int(match.group(1))


def start_program(build, display, data, port, log, extra=()):
    binary = os.path.join(build, "application", "veltra-desktop")
    env = dict(os.environ, DISPLAY=display, VELTRA_NO_MESSAGE_BOX="1")
    env.pop("VELTRA_HOST", None)
    process = subprocess.Popen(
        [binary, "--data-dir", data, "--gateway", "127.0.0.1:%d" % port] + list(extra),
        stdout=log, stderr=subprocess.STDOUT, env=env, cwd=data)
    _started.append(process)
    return process


class Screen:
    """The Xvfb screen file: pixel(x, y) as 0xRRGGBB in display coordinates."""

    def __init__(self, fbdir, origin):
        with open(os.path.join(fbdir, "Xvfb_screen0"), "rb") as f:
            data = f.read()
        fields = struct.unpack(">25I", data[:100])
        self.line = fields[12]
        self.offset = fields[0] + fields[19] * 12
        self.data = data
        self.origin = origin

    def pixel(self, x, y):
        at = self.offset + (self.origin[1] + y) * self.line + 4 * (self.origin[0] + x)
        b, g, r = self.data[at], self.data[at + 1], self.data[at + 2]
        return r << 16 | g << 8 | b


def xdotool(display, *args):
    result = subprocess.run(["xdotool"] + [str(a) for a in args],
                            env=dict(os.environ, DISPLAY=display), capture_output=True,
                            text=True, timeout=10)
    return result.stdout


def window_origin(display):
    deadline = time.time() + 30
    while time.time() < deadline:
        ids = xdotool(display, "search", "--name", "^" + re.escape(TITLE) + "$").split()
        if ids:
            match = re.search(r"Position: (\d+),(\d+)",
                              xdotool(display, "getwindowgeometry", ids[0]))
            if match:
                return int(match.group(1)) + 1, int(match.group(2)) + 1
        time.sleep(0.2)
    raise RuntimeError("the program's window did not appear")


def click(display, origin, point):
    xdotool(display, "mousemove", origin[0] + point[0], origin[1] + point[1], "mousedown", 1)
    time.sleep(0.1)
    xdotool(display, "mouseup", 1)


def screen(fbdir, origin):
    try:
        return Screen(fbdir, origin)
    except (OSError, struct.error, IndexError):
        return None


def connect_page_shown(s):
    return s is not None and s.pixel(30, 195) == 0xFFFFFF


def light(pixel):
    return all(((pixel >> shift) & 0xFF) > 0xC0 for shift in (0, 8, 16))


def pages_shown(s):
    """The device pages: the first tab selected (light), the address field gone."""
    return (s is not None and light(s.pixel(6, TAB_ROW)) and s.pixel(30, 195) != 0xFFFFFF and
            s.pixel(600, 65) == DARK_GREEN)


def wait_for(fbdir, origin, check, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if check(screen(fbdir, origin)):
            return True
        time.sleep(0.2)
    return False


def last_tab_x(s):
    """A point inside the last tab: left of the rightmost white title pixel of the tab row
    (the band behind the tabs is dark green like the tabs themselves)."""
    for x in range(735, 0, -1):
        if any(s.pixel(x, y) == 0xFFFFFF for y in range(62, 84)):
            return x - 10
    raise RuntimeError("no tabs found")


def web_address(log_path):
    """(port, token) from the address the program printed."""
    deadline = time.time() + 20
    while time.time() < deadline:
        with open(log_path, "rb") as f:
            match = re.search(rb"http://[^:]+:(\d+)/\?token=([0-9a-f]+)", f.read())
        if match:
            return int(match.group(1)), match.group(2).decode()
        time.sleep(0.1)
    raise RuntimeError("the program printed no browser view address")


def start_viewers(port, token, count, stop):
    """Viewers as the page is one: each reads the frame stream as fast as it comes."""
    def view():
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        try:
            connection.request("GET", "/stream", headers={"Authorization": "Bearer " + token})
            response = connection.getresponse()
            if response.status != 200:
                print("viewer refused: %d" % response.status, file=sys.stderr)
                return
            while not stop.is_set() and response.read1(65536):
                pass
        except (OSError, http.client.HTTPException):
            pass  # the program ends at the end of the measurement
        connection.close()
    threads = [threading.Thread(target=view, daemon=True) for _ in range(count)]
    for thread in threads:
        thread.start()
    return threads


def proc_cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime (fields 14 and 15)


def proc_rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def measure(pid, seconds):
    """CPU percent of one core and the largest resident size over the window."""
    ticks = os.sysconf("SC_CLK_TCK")
    rss = proc_rss_kib(pid)
    start_ticks, start = proc_cpu_ticks(pid), time.monotonic()
    while time.monotonic() - start < seconds:
        time.sleep(1)
        rss = max(rss, proc_rss_kib(pid))
    used = (proc_cpu_ticks(pid) - start_ticks) / ticks
    return 100.0 * used / (time.monotonic() - start), rss / 1024.0


def run(build, case, seconds):
    work = tempfile.mkdtemp(prefix="veltra-load-")
    fbdir = os.path.join(work, "fb")
    data = os.path.join(work, "data")
    os.makedirs(fbdir)
    os.makedirs(data)
    log = open(os.path.join(work, "log.txt"), "ab")
    display = start_xvfb(fbdir)
    if case == "connect":
        port = 9  # nothing is connected; the address is only proposed
    else:
        port = start_simulator(build, "wide" if case == "wide" else "default", log)
    web = case.startswith("web")
    program = start_program(build, display, data, port, log, ["--web", "0"] if web else [])
    origin = window_origin(display)
    if not wait_for(fbdir, origin, connect_page_shown, 30):
        raise RuntimeError("no connect page (see %s)" % work)
    if case != "connect":
        deadline = time.time() + 90
        while not pages_shown(screen(fbdir, origin)):
            if time.time() > deadline:
                raise RuntimeError("no pages after CONNECT (see %s)" % work)
            if connect_page_shown(screen(fbdir, origin)):
                click(display, origin, CONNECT_BUTTON)
            wait_for(fbdir, origin, pages_shown, 8)
        if case == "wide":
            x = last_tab_x(screen(fbdir, origin))
            click(display, origin, (x, TAB_ROW))
            if not wait_for(fbdir, origin, lambda s: s is not None and light(s.pixel(x, TAB_ROW)),
                            10):
                raise RuntimeError("the last tab was not selected (see %s)" % work)
        time.sleep(5)  # the first polls and the page's first paints
    stop = threading.Event()
    if web:
        web_port, token = web_address(os.path.join(work, "log.txt"))
        start_viewers(web_port, token, int(case[3:]), stop)
        time.sleep(2)
    # The pointer rests outside the window, as for a monitor left open.
    xdotool(display, "mousemove", 1020, 760)
    perf = None
    if os.environ.get("PROGRAM_LOAD_PERF"):
        # A call-graph profile of the same window, for finding the work that costs.
        perf = subprocess.Popen(["perf", "record", "-q", "-F", "499", "-g", "-p",
                                 str(program.pid), "-o", os.environ["PROGRAM_LOAD_PERF"]],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    cpu, rss = measure(program.pid, seconds)
    stop.set()
    if perf is not None:
        perf.send_signal(signal.SIGINT)
        perf.wait()
    if program.poll() is not None:
        raise RuntimeError("the program ended during the measurement (see %s)" % work)
    _end_all()
    if os.environ.get("PROGRAM_LOAD_KEEP"):
        print("kept %s" % work, file=sys.stderr)
    else:
        subprocess.run(["rm", "-rf", work])
    return cpu, rss


def main():
    if len(sys.argv) < 3 or sys.argv[2] not in ("home", "wide", "connect", "web1", "web8"):
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 60.0
    cpu, rss = run(os.path.abspath(sys.argv[1]), sys.argv[2], seconds)
    print("%s %.2f %.1f %.0f" % (sys.argv[2], cpu, rss, seconds))
    return 0


if __name__ == "__main__":
    sys.exit(main())
