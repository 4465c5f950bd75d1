#!/usr/bin/env python3
"""Drives Debian's chromium and firefox-esr headless through a small local site and keeps
the profile files the cleaner reads. Run by scripts/make-browser-profiles.sh, which says
how to renew tests/data/browser-profiles.tar.xz.

Usage: browser-profiles.py OUTPUT_FOLDER   (VELMORA_KEEP_WORK=1 keeps the whole profiles in
       OUTPUT_FOLDER.work)

What each browser does, against http://127.0.0.1:PORT/ (nothing else is reachable; every
page has the site's icon):
  visits /visit/velmora-alpha and /visit/velmora-beta (the second sets a persistent
  cookie) and the bookmarked /visit/velmora-bookmarked, fills the form on /form with
  FORM_VALUE and sends it, downloads /files/velmora-setup.exe. Chromium runs with a window
  on a private X display: the bookmark is in its "Bookmarks" before it starts, the start of
  /visit/velmora-beta (TYPED_TEXT) is typed into the address bar and entered (an omnibox
  shortcut and its predictions), and a new tab shows the most visited pages ("Top Sites").
  Firefox runs headless and bookmarks its page with a tag and a keyword after visiting it.
  Both are then closed cleanly.
"""
import http.server
import json
import os
import select
import shutil
import socket
import socketserver
import subprocess
import sys
import threading
import time
import zlib

PORT = 8357
HOST = "127.0.0.1"
SITE = "http://%s:%d" % (HOST, PORT)
FORM_VALUE = "velmora-form-secret"
COOKIE_VALUE = "velmora-cookie-secret"
DOWNLOAD_NAME = "velmora-setup.exe"
DOWNLOAD_BYTES = b"MZ" + b"velmora download body " * 40
TYPED_TEXT = "%s:%d/visit/velmora-be" % (HOST, PORT)  # typed into Chromium's address bar


def icon_png(rgb):
    """A 16x16 PNG of one colour."""
    def chunk(kind, data):
        body = kind + data
        return len(data).to_bytes(4, "big") + body + zlib.crc32(body).to_bytes(4, "big")
    rows = b"".join(b"\0" + bytes(rgb) * 16 for _ in range(16))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", (16).to_bytes(4, "big") * 2 + b"\x08\x02\0\0\0")
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# The site's icons: the home page names none (the browsers take /favicon.ico, Firefox's
# "root" icon of the site), velmora-alpha has one of its own, every other page the one the
# bookmarked page has too.
ICONS = {"/favicon.ico": icon_png((0x2a, 0x6f, 0xb0)),
         "/icons/alpha.png": icon_png((0xc0, 0x39, 0x2b)),
         "/icons/velmora.png": icon_png((0x27, 0xae, 0x60))}


# --- the local site ------------------------------------------------------------------

def page(title, body, icon="/icons/velmora.png"):
    link = "<link rel='icon' href='%s' type='image/png'>" % icon if icon else ""
    return ("<!doctype html><html><head><meta charset='utf-8'><title>%s</title>%s</head>"
            "<body><h1>%s</h1>%s</body></html>" % (title, link, title, body)).encode()


class Site(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def send(self, body, ctype="text/html; charset=utf-8", extra=()):
        self.send_response(200)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        for k, v in extra:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = self.path.split("?")[0]
        if path == "/":
            self.send(page("Velmora home", "<a id='a' href='/visit/velmora-alpha'>alpha</a>",
                           None))
        elif path == "/visit/velmora-beta":
            self.send(page("Velmora beta page", "<p>beta</p>"),
                      extra=[("Set-Cookie", "velmora_session=%s; Max-Age=31536000; Path=/"
                              % COOKIE_VALUE)])
        elif path.startswith("/visit/"):
            name = path[len("/visit/"):]
            self.send(page("Velmora %s page" % name, "<a id='home' href='/'>home</a>",
                           "/icons/alpha.png" if name == "velmora-alpha" else "/icons/velmora.png"))
        elif path == "/form":
            self.send(page("Velmora form",
                           "<form id='f' action='/sent' method='get'>"
                           "<input type='text' id='q' name='velmora_q' autocomplete='on'>"
                           "<input type='submit' id='go' value='go'></form>"))
        elif path == "/sent":
            self.send(page("Velmora form sent", "<p>thanks</p>"))
        elif path == "/download":
            self.send(page("Velmora downloads",
                           "<a id='dl' href='/files/%s'>setup</a>" % DOWNLOAD_NAME))
        elif path in ICONS:
            self.send(ICONS[path], "image/png")
        elif path == "/files/" + DOWNLOAD_NAME:
            self.send(DOWNLOAD_BYTES, "application/octet-stream",
                      [("Content-Disposition", "attachment; filename=%s" % DOWNLOAD_NAME)])
        else:
            self.send_response(404)
            self.send_header("Content-Length", "0")
            self.end_headers()


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


STARTED = []  # browsers this run started: ended by their process id if the run fails


def start(args, **kwargs):
    proc = subprocess.Popen(args, **kwargs)
    STARTED.append(proc)
    return proc


def end_started():
    for proc in STARTED:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


def wait_for(what, test, seconds=30):
    end = time.time() + seconds
    while time.time() < end:
        value = test()
        if value:
            return value
        time.sleep(0.2)
    raise SystemExit("timed out waiting for " + what)


# --- Chromium through its DevTools pipe ------------------------------------------------

class Chromium:
    FLAGS = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--no-default-browser-check", "--password-store=basic", "--window-size=1000,700"]

    def __init__(self, user_data, log, display):
        to_browser, self.write = os.pipe()
        self.read, from_browser = os.pipe()

        def descriptors():
            os.dup2(to_browser, 3)
            os.dup2(from_browser, 4)

        self.proc = start(
            ["chromium"] + self.FLAGS + ["--user-data-dir=" + user_data,
                                         "--remote-debugging-pipe", "about:blank"],
            pass_fds=(3, 4), preexec_fn=descriptors, stdout=log, stderr=log,
            env=dict(os.environ, DISPLAY=display))
        os.close(to_browser)
        os.close(from_browser)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.session = None

    def _message(self, timeout):
        end = time.time() + timeout
        while b"\0" not in self.buffer:
            ready, _, _ = select.select([self.read], [], [], max(0, end - time.time()))
            if not ready:
                return None
            chunk = os.read(self.read, 1 << 16)
            if not chunk:
                raise SystemExit("chromium closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=True, timeout=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.write, json.dumps(message).encode() + b"\0")
        end = time.time() + timeout
        while time.time() < end:
            m = self._message(end - time.time())
            if m is None:
                break
            if m.get("id") == self.next_id:
                if "error" in m:
                    raise SystemExit("%s: %s" % (method, m["error"]))
                return m.get("result", {})
            self.events.append(m)
        raise SystemExit("no answer to " + method)

    def event(self, method, test=lambda p: True, timeout=30):
        end = time.time() + timeout
        while time.time() < end:
            for i, m in enumerate(self.events):
                if m.get("method") == method and test(m.get("params", {})):
                    del self.events[i]
                    return m["params"]
            m = self._message(min(1, end - time.time()))
            if m is not None:
                self.events.append(m)
        raise SystemExit("no event " + method)

    def attach(self):
        targets = self.call("Target.getTargets", session=False)["targetInfos"]
        page_id = next(t["targetId"] for t in targets if t["type"] == "page")
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": page_id, "flatten": True},
                                 session=False)["sessionId"]
        self.call("Page.enable")
        self.call("Runtime.enable")

    def navigate(self, url, transition="typed"):
        self.call("Page.navigate", {"url": url, "transitionType": transition})
        self.event("Page.loadEventFired")
        time.sleep(0.5)

    def run(self, script):
        return self.call("Runtime.evaluate", {"expression": script, "userGesture": True,
                                              "awaitPromise": True})

    def close(self):
        self.call("Browser.close", session=False)
        self.proc.wait(60)


# --- a private X display for Chromium's window, and keys typed into it -----------------

class Display:
    def __init__(self, log):
        read, write = os.pipe()
        self.proc = start(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-screen", "0",
                           "1280x800x24"], pass_fds=(write,), stdout=log, stderr=log)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read], [], [], 30)
            chunk = os.read(read, 16) if ready else b""
            if not chunk:
                raise SystemExit("Xvfb did not start")
            number += chunk
        os.close(read)
        self.name = ":" + number.decode().strip()

    def xdotool(self, *args):
        return subprocess.check_output(["xdotool"] + list(args), text=True,
                                       env=dict(os.environ, DISPLAY=self.name)).strip()

    def type_into_address_bar(self, text):
        window = self.xdotool("search", "--sync", "--onlyvisible", "--class", "chromium").split()[0]
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", "ctrl+l")
        time.sleep(0.5)
        self.xdotool("type", "--delay", "20", text)
        time.sleep(1.5)
        self.xdotool("key", "Return")

    def close(self):
        self.proc.terminate()
        self.proc.wait(30)


def chromium_bookmarks(path):
    """A "Bookmarks" file with one bookmark, as Chromium writes it (it checks the sum and
    loads the file even when the sum differs; it writes the file again on its own)."""
    bookmark = {"date_added": "13350000000000000", "guid": "5a3c3d4e-0e3b-4d4e-9a6a-7e6d2b1c0f01",
                "id": "4", "name": "Velmora bookmark", "type": "url",
                "url": SITE + "/visit/velmora-bookmarked"}

    def folder(id_, guid, name, children):
        return {"children": children, "date_added": "13350000000000000",
                "date_modified": "0", "guid": guid, "id": id_, "name": name, "type": "folder"}
    data = {"roots": {
        "bookmark_bar": folder("1", "0bc5d13f-2cba-5d74-951f-3f233fe6c908", "Bookmarks bar",
                               [bookmark]),
        "other": folder("2", "82b081ec-3dd3-529c-8475-ab6c344590dd", "Other bookmarks", []),
        "synced": folder("3", "4cf2e351-0e85-532b-bb37-df045d8f8d0f", "Mobile bookmarks", [])},
        "version": 1}
    with open(path, "w") as f:
        json.dump(data, f, indent=3)


def make_chromium(work, downloads, log):
    user_data = os.path.join(work, "chromium", "User Data")
    os.makedirs(os.path.join(user_data, "Default"))
    chromium_bookmarks(os.path.join(user_data, "Default", "Bookmarks"))
    display = Display(log)
    c = Chromium(user_data, log, display.name)
    c.attach()
    c.call("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads,
                                           "eventsEnabled": True}, session=False)
    c.navigate(SITE + "/")
    c.navigate(SITE + "/visit/velmora-alpha")
    c.run("document.getElementById('home').click()")
    c.event("Page.loadEventFired")
    c.navigate(SITE + "/visit/velmora-beta")
    c.navigate(SITE + "/visit/velmora-bookmarked")
    c.navigate(SITE + "/form")
    c.call("DOM.enable")
    c.run("document.getElementById('q').focus()")
    c.call("Input.insertText", {"text": FORM_VALUE})
    c.run("document.getElementById('go').click()")
    c.event("Page.loadEventFired")
    c.navigate(SITE + "/download")
    c.run("document.getElementById('dl').click()")
    c.event("Browser.downloadProgress", lambda p: p.get("state") == "completed", 60)
    # What the address bar learns when the user takes its suggestion for typed text.
    display.type_into_address_bar(TYPED_TEXT)
    c.event("Page.loadEventFired")
    # The new-tab page asks for the most visited pages, which Chromium keeps in "Top Sites".
    display.xdotool("key", "ctrl+t")
    time.sleep(4)
    c.close()
    display.close()
    return user_data


# --- Firefox through Marionette --------------------------------------------------------

FIREFOX_PREFS = {
    "marionette.port": 28471,
    "browser.shell.checkDefaultBrowser": False,
    "browser.startup.homepage_override.mstone": "ignore",
    "browser.startup.page": 0,
    "browser.newtabpage.enabled": False,
    "datareporting.policy.dataSubmissionEnabled": False,
    "datareporting.healthreport.uploadEnabled": False,
    "toolkit.telemetry.enabled": False,
    "app.update.auto": False,
    "app.update.enabled": False,
    "extensions.update.enabled": False,
    "browser.safebrowsing.malware.enabled": False,
    "browser.safebrowsing.phishing.enabled": False,
    "network.captive-portal-service.enabled": False,
    "network.connectivity-service.enabled": False,
    "browser.download.folderList": 2,
    "browser.download.useDownloadDir": True,
    "browser.download.always_ask_before_handling_new_types": False,
    "browser.download.manager.showWhenStarting": False,
    "browser.helperApps.neverAsk.saveToDisk": "application/octet-stream",
    "browser.formfill.enable": True,
    "places.history.enabled": True,
}


class Marionette:
    def __init__(self, port):
        self.sock = wait_for("marionette", lambda: self._connect(port), 60)
        self.sock.settimeout(120)
        self.buffer = b""
        self._read()  # the greeting
        self.next_id = 0

    @staticmethod
    def _connect(port):
        try:
            return socket.create_connection((HOST, port), 1)
        except OSError:
            return None

    def _read(self):
        while b":" not in self.buffer:
            self.buffer += self.sock.recv(65536)
        length, rest = self.buffer.split(b":", 1)
        length = int(length)
        while len(rest) < length:
            rest += self.sock.recv(65536)
        self.buffer = rest[length:]
        return json.loads(rest[:length])

    def call(self, command, params=None):
        self.next_id += 1
        body = json.dumps([0, self.next_id, command, params or {}]).encode()
        self.sock.sendall(str(len(body)).encode() + b":" + body)
        while True:
            m = self._read()
            if m[0] == 1 and m[1] == self.next_id:
                if m[2]:
                    raise SystemExit("%s: %s" % (command, m[2]))
                return m[3]

    def element(self, css):
        found = self.call("WebDriver:FindElement", {"using": "css selector", "value": css})
        found = found.get("value", found)
        return next(iter(found.values()))

    def navigate(self, url):
        self.call("WebDriver:Navigate", {"url": url})
        time.sleep(0.5)

    def chrome(self, script):
        self.call("Marionette:SetContext", {"value": "chrome"})
        try:
            return self.call("WebDriver:ExecuteScript", {"script": script, "args": []})
        finally:
            self.call("Marionette:SetContext", {"value": "content"})


def make_firefox(work, downloads, log):
    profile = os.path.join(work, "firefox", "velmora.default-release")
    os.makedirs(profile)
    prefs = dict(FIREFOX_PREFS)
    prefs["browser.download.dir"] = downloads
    with open(os.path.join(profile, "user.js"), "w") as f:
        for k, v in prefs.items():
            f.write("user_pref(%s, %s);\n" % (json.dumps(k), json.dumps(v)))
    env = dict(os.environ, MOZ_HEADLESS="1", MOZ_CRASHREPORTER_DISABLE="1")
    proc = start(["firefox-esr", "--headless", "--marionette", "-remote-allow-system-access", "--no-remote",
                             "-profile", profile], stdout=log, stderr=log, env=env)
    m = Marionette(FIREFOX_PREFS["marionette.port"])
    m.call("WebDriver:NewSession", {"capabilities": {"alwaysMatch": {"acceptInsecureCerts": True}}})
    m.navigate(SITE + "/")
    m.navigate(SITE + "/visit/velmora-alpha")
    m.call("WebDriver:ElementClick", {"id": m.element("#home")})
    time.sleep(0.5)
    m.navigate(SITE + "/visit/velmora-beta")
    m.navigate(SITE + "/visit/velmora-bookmarked")
    m.navigate(SITE + "/form")
    m.call("WebDriver:ElementSendKeys", {"id": m.element("#q"), "text": FORM_VALUE})
    m.call("WebDriver:ElementClick", {"id": m.element("#go")})
    time.sleep(1)
    m.navigate(SITE + "/download")
    m.call("WebDriver:ElementClick", {"id": m.element("#dl")})
    wait_for("the Firefox download",
             lambda: os.path.exists(os.path.join(downloads, DOWNLOAD_NAME)) and
             not any(n.endswith(".part") for n in os.listdir(downloads)), 60)
    m.chrome("""
        const {PlacesUtils} = ChromeUtils.importESModule("resource://gre/modules/PlacesUtils.sys.mjs");
        const url = "%s/visit/velmora-bookmarked";
        return (async () => {
          await PlacesUtils.bookmarks.insert({parentGuid: PlacesUtils.bookmarks.toolbarGuid,
                                              url, title: "Velmora bookmark"});
          PlacesUtils.tagging.tagURI(Services.io.newURI(url), ["velmora-tag"]);
          await PlacesUtils.keywords.insert({keyword: "velmorakw", url});
          // Wait until the download is written to history (its annotations).
          for (let i = 0; i < 50; i++) {
            const db = await PlacesUtils.promiseDBConnection();
            const rows = await db.execute("SELECT count(*) FROM moz_annos");
            if (rows[0].getResultByIndex(0) > 0) break;
            await new Promise(r => setTimeout(r, 200));
          }
          return true;
        })();
    """ % SITE)
    time.sleep(2)
    try:
        m.call("Marionette:Quit", {"flags": ["eAttemptQuit"]})
    except (SystemExit, OSError, ValueError):
        pass
    proc.wait(120)
    return profile


# --- what is kept --------------------------------------------------------------------

# The databases the cleaner reads, with the journals the browser left beside them (empty
# write-ahead logs of Firefox, empty rollback journals of Chromium).
FIREFOX_KEPT = ["places.sqlite", "places.sqlite-wal", "favicons.sqlite", "favicons.sqlite-wal",
                "formhistory.sqlite", "formhistory.sqlite-wal", "cookies.sqlite",
                "cookies.sqlite-wal"]
CHROMIUM_KEPT = ["History", "History-journal", "Login Data", "Login Data-journal",
                 "Login Data For Account", "Login Data For Account-journal", "Web Data",
                 "Web Data-journal", "Cookies", "Cookies-journal", "Network/Cookies",
                 "Network/Cookies-journal", "Bookmarks", "Favicons", "Favicons-journal",
                 "Shortcuts", "Shortcuts-journal", "Network Action Predictor",
                 "Network Action Predictor-journal", "Top Sites", "Top Sites-journal"]


def keep(source, target, names):
    for name in names:
        src = os.path.join(source, name)
        if os.path.isfile(src):
            dst = os.path.join(target, name)
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            shutil.copy2(src, dst)


def keep_tree(source, target):
    if os.path.isdir(source):
        shutil.copytree(source, target, symlinks=False)


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    out = os.path.abspath(sys.argv[1])
    work = out + ".work"
    for d in (out, work):
        shutil.rmtree(d, ignore_errors=True)
    os.makedirs(work)
    server = Server((HOST, PORT), Site)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    try:
        with open(os.path.join(work, "browsers.log"), "w") as log:
            downloads = os.path.join(work, "downloads-chromium")
            os.makedirs(downloads)
            user_data = make_chromium(work, downloads, log)
            downloads = os.path.join(work, "downloads-firefox")
            os.makedirs(downloads)
            profile = make_firefox(work, downloads, log)
    finally:
        end_started()
        server.shutdown()

    chromium_out = os.path.join(out, "chromium", "User Data")
    keep(user_data, chromium_out, ["Local State"])
    keep(os.path.join(user_data, "Default"), os.path.join(chromium_out, "Default"), CHROMIUM_KEPT)
    # Where Chromium keeps the downloads it puts back into "History" at its next start.
    keep_tree(os.path.join(user_data, "Default", "shared_proto_db"),
              os.path.join(chromium_out, "Default", "shared_proto_db"))
    keep_tree(os.path.join(user_data, "Default", "Cache"),
              os.path.join(chromium_out, "Default", "Cache"))
    firefox_out = os.path.join(out, "firefox", "velmora.default-release")
    keep(profile, firefox_out, FIREFOX_KEPT)
    keep_tree(os.path.join(profile, "cache2"), os.path.join(firefox_out, "cache2"))
    with open(os.path.join(out, "README.txt"), "w") as f:
        f.write("Made by scripts/make-browser-profiles.sh with %s and %s.\n"
                "Site %s; form value %s; cookie value %s; download %s; typed into\n"
                "Chromium's address bar: %s.\n"
                % (subprocess.check_output(["chromium", "--version"], text=True).strip(),
                   subprocess.check_output(["firefox-esr", "--version"], text=True).strip(),
                   SITE, FORM_VALUE, COOKIE_VALUE, DOWNLOAD_NAME, TYPED_TEXT))
    if not os.environ.get("VELMORA_KEEP_WORK"):
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
