"""Headless Firefox for the browser tests, driven over its own remote protocol (Marionette).

Debian ships Firefox ESR but no geckodriver, so the tests speak the protocol themselves: each
message is "LENGTH:JSON", a command [0, id, name, parameters] and its answer
[1, id, error, result]; the names and parameters are those of WebDriver ("WebDriver:Navigate",
"WebDriver:ExecuteScript", ...). The object below offers the few calls of a Selenium driver
that the tests use, so a test's code reads the same for either browser.
"""

import base64
import json
import os
import shutil
import socket
import subprocess
import tempfile
import time


class MarionetteError(Exception):
    pass


def firefox_binary():
    return shutil.which("firefox-esr") or shutil.which("firefox")


class Firefox:
    def __init__(self, width, height, timeout_s=60):
        binary = firefox_binary()
        if binary is None:
            raise MarionetteError("Firefox is not installed")
        self.profile = tempfile.mkdtemp(prefix="firefox_profile_")
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        with open(os.path.join(self.profile, "user.js"), "w") as prefs:
            for key, value in (("marionette.port", port),
                               # A private profile that never calls out or asks anything.
                               ("browser.shell.checkDefaultBrowser", False),
                               ("datareporting.policy.dataSubmissionEnabled", False),
                               ("toolkit.telemetry.reportingpolicy.firstRun", False),
                               ("app.update.disabledForTesting", True),
                               ("network.captive-portal-service.enabled", False),
                               ("browser.startup.homepage_override.mstone", "ignore"),
                               ("gfx.color_management.mode", 0)):
                prefs.write("user_pref(%s, %s);\n" % (json.dumps(key), json.dumps(value)))
        env = dict(os.environ, MOZ_HEADLESS="1", MOZ_HEADLESS_WIDTH=str(width),
                   MOZ_HEADLESS_HEIGHT=str(height))
        self.process = subprocess.Popen(
            [binary, "--headless", "--marionette", "--no-remote", "--profile", self.profile,
             "about:blank"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.sock = None
        deadline = time.time() + timeout_s
        while time.time() < deadline and self.process.poll() is None:
            try:
                self.sock = socket.create_connection(("127.0.0.1", port), timeout=timeout_s)
                break
            except OSError:
                time.sleep(0.2)
        if self.sock is None:
            self.quit()
            raise MarionetteError("Firefox did not open its remote port")
        self.next_id = 0
        self._receive()  # the greeting: application type and protocol level
        self.command("WebDriver:NewSession", {"capabilities": {"alwaysMatch": {
            "acceptInsecureCerts": True}}})

    def _receive(self):
        length = b""
        while not length.endswith(b":"):
            byte = self.sock.recv(1)
            if not byte:
                raise MarionetteError("Firefox closed the connection")
            length += byte
        size = int(length[:-1])
        data = b""
        while len(data) < size:
            chunk = self.sock.recv(size - len(data))
            if not chunk:
                raise MarionetteError("Firefox closed the connection")
            data += chunk
        return json.loads(data)

    def command(self, name, parameters=None):
        self.next_id += 1
        message = json.dumps([0, self.next_id, name, parameters or {}]).encode()
        self.sock.sendall(b"%d:%s" % (len(message), message))
        while True:
            reply = self._receive()
            if reply[0] == 1 and reply[1] == self.next_id:
                break
        if reply[2]:
            raise MarionetteError("%s: %s" % (name, reply[2]))
        return reply[3]

    # ---- the Selenium driver's calls that the tests use

    def get(self, url):
        self.command("WebDriver:Navigate", {"url": url})

    def execute_script(self, script, *args):
        return self.command("WebDriver:ExecuteScript",
                            {"script": script, "args": list(args)}).get("value")

    def get_screenshot_as_png(self):
        return base64.b64decode(self.command("WebDriver:TakeScreenshot",
                                             {"full": False, "hash": False})["value"])

    def pointer(self, kind, x, y, hold_ms=50):
        """A press and a release at a viewport point, by a mouse or a finger."""
        self.command("WebDriver:PerformActions", {"actions": [{
            "type": "pointer", "id": kind, "parameters": {"pointerType": kind},
            "actions": [{"type": "pointerMove", "x": x, "y": y, "origin": "viewport"},
                        {"type": "pointerDown", "button": 0},
                        {"type": "pause", "duration": hold_ms},
                        {"type": "pointerUp", "button": 0}]}]})
        self.command("WebDriver:ReleaseActions")

    def quit(self):
        if self.sock is not None:
            try:
                self.command("Marionette:Quit", {"flags": ["eForceQuit"]})
            except (MarionetteError, OSError):
                pass
            self.sock.close()
            self.sock = None
        try:
            self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)
