#!/usr/bin/python3
"""The browser view in a real browser.

The program runs in its window on a private Xvfb server against gateway-sim with --web on a
free port; headless Chromium (or, with --browser firefox, headless Firefox) opens the address
the program printed. The page's picture, taken
as the browser shows it at twice the size and scaled back, must equal the program's own F12
screenshot; a change of the display reaches the browser within 1 s; with CONTROL=1 a click on
CONNECT in the browser connects, with CONTROL=0 it changes nothing and the press gets 403.
Requests without the token get 401; bad requests leave the program running and its memory as
it was.

Exit code 0 on success, 1 on a failure, 77 when the browser (Chromium with chromedriver and
Selenium, or Firefox) or Xvfb is missing (ctest reports a skip).
"""

import argparse
import base64
import os
import re
import shutil
import socket
import stat
import struct
import sys
import tempfile
import time
import traceback
import urllib.error
import urllib.request
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

SKIP = 77
SCALE = 2  # the browser shows the display at 1600 x 960
failures = []


def check(condition, text):
    print(("ok    " if condition else "FAIL  ") + text, flush=True)
    if not condition:
        failures.append(text)
    return condition


def png_rows(data):
    """The rows of an 8-bit RGB or RGBA PNG, not interlaced, one by one as lists of 0xRRGGBB;
    first the width and the height."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, idat, width, height, kind = 8, b"", 0, 0, 2
    while at < len(data):
        length, name = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if name == b"IHDR":
            width, height, depth, kind, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and kind in (2, 6) and interlace == 0, "unsupported PNG"
        elif name == b"IDAT":
            idat += body
        at += 12 + length
    yield width, height
    channels = 3 if kind == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind_of_filter, current = line[0], bytearray(line[1:])
        for i in range(stride):
            left = current[i - channels] if i >= channels else 0
            up = previous[i]
            if kind_of_filter == 1:
                current[i] = (current[i] + left) & 0xFF
            elif kind_of_filter == 2:
                current[i] = (current[i] + up) & 0xFF
            elif kind_of_filter == 3:
                current[i] = (current[i] + ((left + up) >> 1)) & 0xFF
            elif kind_of_filter == 4:
                corner = previous[i - channels] if i >= channels else 0
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                best = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                current[i] = (current[i] + best) & 0xFF
        yield [current[x * channels] << 16 | current[x * channels + 1] << 8 |
               current[x * channels + 2] for x in range(width)]
        previous = current


def decode_png(data):
    """8-bit RGB or RGBA, not interlaced: (width, height, rows of 0xRRGGBB)."""
    rows = png_rows(data)
    width, height = next(rows)
    return width, height, list(rows)


def shows(png, own):
    """Whether a browser screenshot shows the display picture `own` (rows of 0xRRGGBB) at
    SCALE, pixel centres compared; stops at the first row that differs."""
    rows = png_rows(png)
    width, height = next(rows)
    if width < 800 * SCALE or height < 480 * SCALE:
        return False
    for y, row in enumerate(rows):
        if y % SCALE != SCALE // 2:
            continue
        if y // SCALE >= 480:
            break
        if [row[x * SCALE + SCALE // 2] for x in range(800)] != own[y // SCALE]:
            return False
    return True


def http(url, data=None, headers=None):
    """(status, body) of one request."""
    request = urllib.request.Request(url, data=data, headers=headers or {})
    try:
        with urllib.request.urlopen(request, timeout=10) as response:
            return response.status, response.read()
    except urllib.error.HTTPError as error:
        return error.code, error.read()


def raw(port, payload, wait_s=3.0):
    """Sends bytes as they are and reads until the server closes or `wait_s` passed."""
    answer = b""
    with socket.create_connection(("127.0.0.1", port), timeout=wait_s) as s:
        try:
            s.sendall(payload)
            while True:
                chunk = s.recv(4096)
                if not chunk:
                    break
                answer += chunk
        except OSError:
            pass
    return answer


def newest_screenshot(data, known):
    for _ in range(50):
        shots = sorted(n for n in os.listdir(data) if n.startswith("screenshot_") and
                       n.endswith(".png") and n not in known)
        if shots:
            time.sleep(0.3)  # written whole
            return os.path.join(data, shots[-1])
        time.sleep(0.1)
    return None


class Browser:
    def __init__(self, url):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium")
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                         "--disable-dev-shm-usage", "--window-size=1700,1200",
                         "--force-color-profile=srgb"):
            options.add_argument(argument)
        self.driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")),
                                       options=options)
        self.size(800 * SCALE, 480 * SCALE + 60)
        self.driver.get(url)

    def size(self, width, height):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def quit(self):
        self.driver.quit()

    def frames(self):
        return int(self.driver.execute_script(
            "return Number(document.getElementById('screen').dataset.frames || 0)"))

    def text(self):
        return self.driver.execute_script("return document.body.innerText")

    def picture(self):
        """What the browser shows of the canvas, scaled back to 800 x 480 (pixel centres)."""
        png = self.driver.get_screenshot_as_png()
        width, height, rows = decode_png(png)
        if width < 800 * SCALE or height < 480 * SCALE:
            return None
        return [[rows[y * SCALE + SCALE // 2][x * SCALE + SCALE // 2] for x in range(800)]
                for y in range(480)]

    def canvas(self):
        """The canvas's own pixels."""
        url = self.driver.execute_script(
            "return document.getElementById('screen').toDataURL('image/png')")
        return decode_png(base64.b64decode(url.split(",", 1)[1]))[2]

    def band_hash(self, first, last):
        """The CRC-32 of the canvas rows first..last, blue, green, red of every pixel (the
        order of the X server's screen file)."""
        return self.driver.execute_script("""
            const d = document.getElementById('screen').getContext('2d')
                .getImageData(0, arguments[0], 800, arguments[1] - arguments[0] + 1).data;
            if (!window.crcTable) {
              window.crcTable = new Uint32Array(256);
              for (let n = 0; n < 256; n++) {
                let c = n;
                for (let k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
                window.crcTable[n] = c >>> 0;
              }
            }
            const t = window.crcTable;
            let c = 0xFFFFFFFF;
            for (let i = 0; i < d.length; i += 4)
              for (const k of [2, 1, 0]) c = t[(c ^ d[i + k]) & 0xFF] ^ (c >>> 8);
            return (c ^ 0xFFFFFFFF) >>> 0;""", first, last)

    def tap(self, x, y):
        """A finger's touch and lift at a display point, as on a phone."""
        self.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                                    {"enabled": True, "maxTouchPoints": 1})
        point = {"x": x * SCALE + 1, "y": y * SCALE + 1}
        self.driver.execute_cdp_cmd("Input.dispatchTouchEvent",
                                    {"type": "touchStart", "touchPoints": [point]})
        time.sleep(0.05)
        self.driver.execute_cdp_cmd("Input.dispatchTouchEvent",
                                    {"type": "touchEnd", "touchPoints": []})
        self.driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled", {"enabled": False})

    def click(self, x, y):
        """A press and a release at a display point, as the mouse gives them."""
        for kind in ("mousePressed", "mouseReleased"):
            self.driver.execute_cdp_cmd("Input.dispatchMouseEvent", {
                "type": kind, "x": x * SCALE + 1, "y": y * SCALE + 1, "button": "left",
                "clickCount": 1})
            time.sleep(0.05)


class FirefoxBrowser(Browser):
    """The same page in headless Firefox, driven over its own remote protocol."""

    def __init__(self, url):
        import marionette
        self.driver = marionette.Firefox(800 * SCALE, 480 * SCALE + 60)
        self.size(800 * SCALE, 480 * SCALE + 60)
        self.driver.get(url)

    def size(self, width, height):
        # The window's rectangle includes the browser's own bars; the page gets the rest.
        extra = self.driver.execute_script(
            "return [outerWidth - innerWidth, outerHeight - innerHeight]")
        self.driver.command("WebDriver:SetWindowRect",
                            {"width": width + extra[0], "height": height + extra[1]})

    def tap(self, x, y):
        self.driver.pointer("touch", x * SCALE + 1, y * SCALE + 1)

    def click(self, x, y):
        self.driver.pointer("mouse", x * SCALE + 1, y * SCALE + 1)


BROWSERS = {"chromium": Browser, "firefox": FirefoxBrowser}


def window_band_hash(screen, first, last):
    crc = 0
    for y in range(first, last + 1):
        at = screen.offset + (screen.origin[1] + y) * screen.line + 4 * screen.origin[0]
        row = bytearray(screen.data[at:at + 4 * 800])
        del row[3::4]
        crc = zlib.crc32(row, crc)
    return crc


def wait(check_fn, timeout_s):
    deadline = time.time() + timeout_s
    while time.time() < deadline:
        if check_fn():
            return True
        time.sleep(0.1)
    return check_fn()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def lost_shown(browser):
    return browser.driver.execute_script(
        "return getComputedStyle(document.getElementById('lost')).display !== 'none'")


def start(build, display, appdata, port, out, control, web_port):
    data = os.path.join(appdata, "Ovalo")
    os.makedirs(data, exist_ok=True)
    settings = os.path.join(data, "config.ini")
    text = open(settings).read() if os.path.exists(settings) else ""
    text = re.sub(r"\[WEB\][^\[]*", "", text)
    with open(settings, "w") as f:
        f.write(text + "[WEB]\nCONTROL=%d\n" % control)
    size = os.path.getsize(out) if os.path.exists(out) else 0
    program = harness.start_program(build, display, appdata, port, out,
                                    ["--web", str(web_port)])
    url = None
    for _ in range(100):
        with open(out) as f:
            f.seek(size)
            match = re.search(r"Browser view[^:]*: (http://\S+)", f.read())
        if match:
            url = match.group(1)
            break
        time.sleep(0.1)
    return program, url


def run(build, scratch, picture=None, browser_class=Browser):
    fbdir = os.path.join(scratch, "fb")
    os.makedirs(fbdir)
    _, display = harness.start_xvfb(fbdir)
    _, port = harness.start_simulator(build, [], os.path.join(scratch, "sim.err"))
    appdata = os.path.join(scratch, "appdata")
    data = os.path.join(appdata, "Ovalo")
    out = os.path.join(scratch, "program.out")

    # ---- CONTROL=1: the picture, a change, a click that connects
    program, url = start(build, display, appdata, port, out, 1, free_port())
    if not check(url is not None, "the program prints the page's address"):
        return
    web_port = int(re.search(r":(\d+)/", url).group(1))
    token = re.search(r"token=([0-9a-f]{32})$", url)
    check(token is not None, "the address carries a 128-bit token")
    token_file = os.path.join(data, "webtoken")
    check(stat.S_IMODE(os.stat(token_file).st_mode) == 0o600, "the token file is mode 0600")
    base = "http://127.0.0.1:%d" % web_port
    for path in ("/", "/stream", "/input", "/favicon.ico"):
        for query in ("", "?token=0123456789abcdef0123456789abcdef"):
            status, body = http(base + path + query)
            check(status == 401 and body == b"", "401 and nothing else: GET %s%s" % (path, query))
    origin = harness.window_origin(display)
    check(origin is not None, "the window is open")
    check(harness.wait_screen(fbdir, origin, harness.connect_page_shown, 30),
          "the window shows the connect page")

    browser = browser_class(url)
    try:
        check(wait(lambda: browser.frames() > 0, 10), "the page draws the display")
        # The connect page stands still: the browser's picture equals F12 at once.
        harness.xdotool(display, "mousemove", origin[0] + 700, origin[1] + 450)
        time.sleep(0.5)
        known = set(os.listdir(data))
        harness.xdotool(display, "key", "F12")
        shot = newest_screenshot(data, known)
        check(shot is not None, "F12 wrote a screenshot")
        if shot:
            _, _, own = decode_png(open(shot, "rb").read())
            seen = browser.picture()
            same = seen == own
            if not same and seen:
                wrong = [(x, y, seen[y][x], own[y][x]) for y in range(480) for x in range(800)
                         if seen[y][x] != own[y][x]]
                print("      %d pixels differ, first %s" % (len(wrong), [
                    "(%d,%d) %06x/%06x" % w for w in wrong[:6]]))
                with open(os.path.join(scratch, "browser.png"), "wb") as f:
                    f.write(browser.driver.get_screenshot_as_png())
                canvas = browser.canvas()
                print("      the canvas itself differs in %d pixels" % sum(
                    1 for y in range(480) for x in range(800) if canvas[y][x] != own[y][x]))
            check(same, "the browser's picture equals the program's F12 screenshot")

        # A finger on DEUTSCH and the mouse on ENGLISH: each stores its language at once.
        settings = os.path.join(data, "config.ini")
        language = lambda: re.search(r"LANGUAGE=(\d)", open(settings).read() if
                                     os.path.exists(settings) else "")
        browser.tap(*harness.GERMAN_BUTTON)
        check(wait(lambda: language() and language().group(1) == "1", 10),
              "a touch on DEUTSCH in the browser chooses German")
        browser.click(*harness.ENGLISH_BUTTON)
        check(wait(lambda: language() and language().group(1) == "0", 10),
              "a click on ENGLISH in the browser chooses English")

        # A click on CONNECT in the browser connects; the pages appear in both.
        known_logs = harness.log_files(data)
        browser.click(*harness.CONNECT_BUTTON)
        connected = wait(lambda: set(harness.log_files(data)) - set(known_logs), 60)
        check(connected, "a click on CONNECT in the browser connects")
        check(harness.wait_screen(fbdir, origin, harness.pages_shown, 30),
              "the window shows the pages")
        tab = (6, 66)
        check(wait(lambda: (lambda p: p and p[tab[1]][tab[0]] ==
                            harness.Screen(fbdir, origin).pixel(*tab))(browser.picture()), 5),
              "the browser shows the pages")
        if picture:
            # The page at the display's own size, for the README.
            browser.size(800, 480 + 26)
            time.sleep(1)
            with open(picture, "wb") as f:
                f.write(browser.driver.get_screenshot_as_png())
            browser.size(800 * SCALE, 480 * SCALE + 60)
            time.sleep(1)

        # The values change with the simulator: every picture of the band with the clock and the
        # values that the window showed reaches the browser within 1 s.
        first, last = 0, 300
        window_seen, browser_seen = {}, {}
        end = time.time() + 12
        while time.time() < end:
            try:
                h = window_band_hash(harness.Screen(fbdir, origin), first, last)
                window_seen.setdefault(h, time.time())
            except (OSError, struct.error, IndexError):
                pass
            browser_seen.setdefault(browser.band_hash(first, last), time.time())
        delays = [browser_seen[h] - window_seen[h] for h in window_seen if h in browser_seen]
        check(len(delays) >= 3, "the values changed in the browser (%d changes seen)" %
              len(delays))
        if delays:
            check(max(delays) <= 1.0, "each change reached the browser within 1 s (longest %.2f s)"
                  % max(delays))

        # The page's picture equals F12 while the program polls. The display changes about once
        # a second and the browser follows it within moments, so after each F12 the browser's
        # pictures of the next 0.6 s (at least three) are kept: one of them shows that frame.
        same = False
        for _ in range(15):
            if program.poll() is not None:
                return  # main() says how it ended
            known = set(os.listdir(data))
            harness.xdotool(display, "key", "F12")
            seen, taken = [], 0
            end = time.time() + 0.6
            while time.time() < end or taken < 3:
                png = browser.driver.get_screenshot_as_png()
                taken += 1
                if png not in seen:
                    seen.append(png)
            shot = newest_screenshot(data, known)
            if shot is None:
                continue
            _, _, own = decode_png(open(shot, "rb").read())
            if any(shows(png, own) for png in seen):
                same = True
                break
        check(same, "the browser's picture equals F12 on the polling Home page")
        if program.poll() is not None:
            return

        # Bad requests leave the program running with its memory and its GUI pass rate as they
        # were (the rate over 3 s before them, with the browser watching, against the rate while
        # they are served).
        began, passes = time.time(), harness.gui_passes(program.pid)
        time.sleep(3)
        base_rate = (harness.gui_passes(program.pid) - passes) / (time.time() - began)
        bad_began, bad_passes = time.time(), harness.gui_passes(program.pid)
        before = harness.read_status(program.pid)
        raw(web_port, b"GET /?token=" + token.group(1).encode() + b" HTTP/1.1\r\nX-Big: " +
            b"a" * (1 << 20) + b"\r\n\r\n")
        check(raw(web_port, b"NONSENSE\r\n\r\n").startswith(b"HTTP/1.1 400"),
              "a malformed request line gets 400")
        sockets = [socket.create_connection(("127.0.0.1", web_port)) for _ in range(50)]
        for s in sockets:
            s.close()
        slow = socket.create_connection(("127.0.0.1", web_port))
        began = time.time()
        dropped = False
        try:
            for byte in b"GET / HTTP/1.1\r\nHost: x\r\n" * 4:
                slow.send(bytes([byte]))
                time.sleep(0.2)
                slow.setblocking(False)
                try:
                    if slow.recv(1) == b"":
                        dropped = True
                        break
                except BlockingIOError:
                    pass
                slow.setblocking(True)
        except OSError:
            dropped = True
        slow.close()
        check(dropped and time.time() - began < 13, "a client that sends slowly is dropped")
        bad_rate = (harness.gui_passes(program.pid) - bad_passes) / (time.time() - bad_began)
        check(bad_rate >= 0.8 * base_rate, "the GUI keeps its pass rate (%.0f a second before, "
              "%.0f while the bad requests are served)" % (base_rate, bad_rate))
        status, _ = http(url)
        check(status == 200, "the page is still served")
        after = harness.read_status(program.pid)
        check(program.poll() is None, "the program still runs")
        if before and after:
            check(after[0] - before[0] <= 1024, "memory within 1 MiB (%+d kB)" %
                  (after[0] - before[0]))
        check(not lost_shown(browser), "the page does not say the connection is lost")
        check(harness.stop(program, term_first=True) == 0, "the program ends with 0")
        check(wait(lambda: lost_shown(browser), 20), "the page says the connection is lost")
        frames = browser.frames()

        # ---- CONTROL=0: the same click changes nothing, the press gets 403
        program, url = start(build, display, appdata, port, out, 0, web_port)
        if not check(url is not None and token.group(1) in url,
                     "the token is kept across starts"):
            return
        check(harness.wait_screen(fbdir, origin, harness.connect_page_shown, 30),
              "the window shows the connect page again")
        check(wait(lambda: not lost_shown(browser) and browser.frames() > frames, 20),
              "the page comes back by itself when the program is there again")
        browser.driver.get(url)
        check(wait(lambda: browser.frames() > 0, 10), "the view-only page draws the display")
        check("View only" in browser.text(), "the page says it is view only")
        known_logs = harness.log_files(data)
        browser.click(*harness.CONNECT_BUTTON)
        time.sleep(5)
        check(set(harness.log_files(data)) == set(known_logs) and
              harness.connect_page_shown(harness.Screen(fbdir, origin)),
              "a click on CONNECT in a view-only browser changes nothing")
        web_port = int(re.search(r":(\d+)/", url).group(1))
        status, _ = http("http://127.0.0.1:%d/input" % web_port, data=b"445 210 1",
                         headers={"Authorization": "Bearer " + token.group(1)})
        check(status == 403, "a press in view-only mode gets 403")
    finally:
        browser.quit()
    check(harness.stop(program, term_first=True) == 0, "the program ends with 0 again")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--picture", help="also save the page on the Home tab as this PNG")
    parser.add_argument("--browser", choices=sorted(BROWSERS), default="chromium")
    args = parser.parse_args()
    if args.browser == "chromium":
        try:
            import selenium  # noqa: F401
        except ImportError:
            print("skipped: python3-selenium is not installed")
            return SKIP
    tools = {"chromium": ("chromium", "chromedriver"), "firefox": ("firefox-esr",)}
    for tool in tools[args.browser] + ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            print("skipped: %s is not installed" % tool)
            return SKIP
    scratch = tempfile.mkdtemp(prefix="web_browser_")
    try:
        run(os.path.abspath(args.build), scratch, args.picture, BROWSERS[args.browser])
    except Exception:  # noqa: BLE001 - reported with the processes that ended, folder kept
        traceback.print_exc()
        check(False, "the test ran to its end")
    finally:
        # Xvfb, gateway-sim and the program run until the test ends them.
        for line in harness.report_ended():
            check(False, "nobody ended it, yet " + line)
        harness._end_all()
        if not failures:
            shutil.rmtree(scratch, ignore_errors=True)
        else:
            print("kept for a look: " + scratch)
    print("summary: %d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
