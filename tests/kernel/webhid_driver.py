#!/usr/bin/python3
"""Drives headless Chromium through its DevTools protocol (over the pipe
of --remote-debugging-pipe, so no port and no websocket) for the WebHID
scenarios of the real-kernel test.

  webhid_driver.py serve FOLDER PORT
      serves FOLDER on 127.0.0.1:PORT.
  webhid_driver.py probe URL
      opens URL and prints, for every HID device the page may use, a line
      "device VVVV:PPPP "NAME" collections PAGE:USAGE(REPORTS)... reaches
      PATHS" with the report IDs of each collection (i input, o output,
      f feature) and which of the requests the keyboard and the programming
      device take went through ("feature 3", "get feature 3", "output 3",
      "feature 0").
  webhid_driver.py program URL --load FILE --downloads DIR [--keyboard-version N]
      waits for the page's data-ready mark, enters the keyboard's version
      (field "Keyboard version", or ?keyboardVersion=N), loads FILE
      through the file input named "Load settings from file", presses
      "Program Keyboard", waits for the result in role=status, then presses
      "Read Keyboard EEProm" and waits for its download in DIR. Prints the
      status and the progress bar as they change, with the seconds since
      each command; exit 0 when programming said verified and the
      read-back downloaded a file.

Elements are found by their name and role (aria-label, label, text), as a
person using a screen reader finds them, so the same run drives any page
that keeps these names.
"""
import argparse
import json
import os
import queue
import re
import subprocess
import sys
import threading
import time

CHROMIUM = "/usr/lib/chromium/chromium"
FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--no-first-run",
    "--disable-dev-shm-usage", "--remote-debugging-pipe", "--disable-extensions",
    "--disable-breakpad", "--mute-audio", "--disable-renderer-backgrounding",
    "--disable-background-timer-throttling", "--disable-backgrounding-occluded-windows",
    "--log-level=3",  # the guest has no D-Bus: keep its complaints out of the log
]


class Browser:
    """One Chromium process and one page target attached in flat mode."""

    def __init__(self, user_data_dir, log):
        to_child_r, to_child_w = os.pipe()
        from_child_r, from_child_w = os.pipe()

        def pipes_at_3_and_4():
            os.dup2(to_child_r, 3)
            os.dup2(from_child_w, 4)

        self.log = log
        self.proc = subprocess.Popen(
            [CHROMIUM, *FLAGS, "--user-data-dir=" + user_data_dir, "about:blank"],
            stdin=subprocess.DEVNULL, stdout=log, stderr=log, pass_fds=(3, 4),
            preexec_fn=pipes_at_3_and_4)
        os.close(to_child_r)
        os.close(from_child_w)
        self.out = os.fdopen(to_child_w, "wb", buffering=0)
        self.messages = queue.Queue()
        self.pending = []
        self.next_id = 0
        self.session = None
        self.downloads = {}  # guid -> {"name", "state"}
        self.crashed = False
        threading.Thread(target=self._reader, args=(from_child_r,), daemon=True).start()

    def _reader(self, fd):
        buffer = b""
        with os.fdopen(fd, "rb", buffering=0) as pipe:
            while True:
                chunk = pipe.read(65536)
                if not chunk:
                    self.messages.put(None)
                    return
                buffer += chunk
                while b"\0" in buffer:
                    text, buffer = buffer.split(b"\0", 1)
                    self.messages.put(json.loads(text))

    def _next_message(self, deadline):
        if self.pending:
            return self.pending.pop(0)
        try:
            message = self.messages.get(timeout=max(0.01, deadline - time.monotonic()))
        except queue.Empty:
            return {}
        if message is None:
            raise RuntimeError("Chromium closed its DevTools pipe")
        self._note(message)
        return message

    def _note(self, message):
        params = message.get("params", {})
        if message.get("method") == "Browser.downloadWillBegin":
            self.downloads[params["guid"]] = {"name": params["suggestedFilename"],
                                              "state": "inProgress"}
        if message.get("method") == "Browser.downloadProgress" and params["guid"] in self.downloads:
            self.downloads[params["guid"]]["state"] = params["state"]
        # A renderer that crashed or was killed (Target.targetCrashed says
        # which, with its exit code) never answers: stop waiting for it.
        if message.get("method") in ("Inspector.targetCrashed", "Target.targetCrashed",
                                     "Target.detachedFromTarget"):
            print(f"browser: {message['method']} {json.dumps(params)[:200]}", flush=True)
            if message.get("method") != "Target.detachedFromTarget" and (
                    message.get("sessionId") == self.session or
                    params.get("targetId") == getattr(self, "target", None)):
                self.crashed = True
        # Console output of the page goes to the log, for looking into a failure.
        if message.get("method") == "Runtime.consoleAPICalled":
            args = message["params"].get("args", [])
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in args)
            print("console: " + text, file=self.log, flush=True)

    def send(self, method, params=None, browser=False, timeout=180):
        self.next_id += 1
        request = {"id": self.next_id, "method": method, "params": params or {}}
        if self.session and not browser:
            request["sessionId"] = self.session
        self.out.write(json.dumps(request).encode() + b"\0")
        deadline = time.monotonic() + timeout
        held = []
        while time.monotonic() < deadline:
            if self.crashed and not browser:
                raise RuntimeError(f"{method}: the page's renderer crashed")
            message = self._next_message(deadline)
            if message.get("id") == self.next_id:
                self.pending = held + self.pending
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error'].get('message')}")
                return message.get("result", {})
            if message:
                held.append(message)
        raise RuntimeError(f"{method}: no answer within {timeout}s")

    def wait_event(self, method, timeout, match=lambda params: True):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            message = self._next_message(deadline)
            if message.get("method") == method and match(message.get("params", {})):
                return message["params"]
        raise RuntimeError(f"no {method} within {timeout}s")

    def drain(self):
        while True:
            try:
                message = self.messages.get_nowait()
            except queue.Empty:
                break
            if message is not None:
                self._note(message)
        self.pending.clear()

    def wait_ready(self, timeout):
        """Waits until the browser answers, which takes long on a slow machine."""
        started = time.monotonic()
        version = self.send("Browser.getVersion", browser=True, timeout=timeout)
        print(f"browser: {version.get('product')} answered after "
              f"{time.monotonic() - started:.1f}s", flush=True)

    def open_page(self, url, download_dir=None):
        self.wait_ready(300)
        self.send("Target.setDiscoverTargets", {"discover": True}, browser=True)
        # The page's tab stays behind the blank one: the page runs as in front
        # but is never drawn (under emulation drawing costs more than the
        # transfers themselves).
        target = self.send("Target.createTarget", {"url": "about:blank", "background": True},
                           browser=True)
        self.target = target["targetId"]
        attached = self.send("Target.attachToTarget",
                             {"targetId": target["targetId"], "flatten": True}, browser=True)
        self.session = attached["sessionId"]
        if download_dir:
            self.send("Browser.setDownloadBehavior", {"behavior": "allow",
                      "downloadPath": download_dir, "eventsEnabled": True}, browser=True)
            # Saving goes through a download, never a file picker nobody can answer.
            self.send("Page.addScriptToEvaluateOnNewDocument", {"source":
                      "delete window.showSaveFilePicker; delete window.showOpenFilePicker;"})
        self.send("Page.enable")
        self.send("Runtime.enable")
        self.send("DOM.enable")
        started = time.monotonic()
        self.send("Page.navigate", {"url": url})
        self.wait_event("Page.loadEventFired", 120)
        print(f"page: loaded after {time.monotonic() - started:.1f}s", flush=True)

    def evaluate(self, expression, timeout=120):
        result = self.send("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                           "returnByValue": True}, timeout=timeout)
        if "exceptionDetails" in result:
            raise RuntimeError("page script failed: " +
                               json.dumps(result["exceptionDetails"])[:400])
        return result["result"].get("value")

    def find(self, name=None, role=None):
        """Backend node ids of the elements with this name and role."""
        listed = self.send("Runtime.evaluate", {"expression": "(" + FIND + ")(%s, %s)" % (
            json.dumps(name), json.dumps(role))})["result"]
        found = []
        for item in self.send("Runtime.getProperties", {"objectId": listed["objectId"],
                                                        "ownProperties": True})["result"]:
            if item["name"].isdigit():
                found.append(self.send("DOM.describeNode", {"objectId": item["value"]["objectId"]})
                             ["node"]["backendNodeId"])
        return found

    def call(self, node, function):
        objectId = self.send("DOM.resolveNode", {"backendNodeId": node})["object"]["objectId"]
        return self.send("Runtime.callFunctionOn", {"objectId": objectId, "functionDeclaration":
                         function, "returnByValue": True})["result"].get("value")

    def diagnose(self):
        """When the page stops answering: the browser's targets and, twice five
        seconds apart, the processor time of each of its processes' busiest
        threads, to tell a page that is busy from one that waits."""
        try:
            for t in self.send("Target.getTargets", browser=True, timeout=30)["targetInfos"]:
                print(f"target: {t['type']} {t['url'][:60]} attached={t.get('attached')}", flush=True)
            processes = self.send("SystemInfo.getProcessInfo", browser=True,
                                  timeout=30)["processInfo"]
        except RuntimeError as error:
            print("diagnose: " + str(error), flush=True)
            return
        for _ in range(2):
            for p in processes:
                print(f"process {p['type']} {p['id']}: {_threads(p['id'])}", flush=True)
            time.sleep(5)

    def close(self):
        try:
            self.send("Browser.close", browser=True, timeout=10)
        except RuntimeError:
            pass
        try:
            self.proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def _threads(pid):
    """The process's threads with state and processor ticks, busiest first."""
    rows = []
    try:
        for task in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{task}/stat") as f:
                stat = f.read()
            name = stat[stat.index("(") + 1:stat.rindex(")")]
            fields = stat[stat.rindex(")") + 2:].split()
            rows.append((int(fields[11]) + int(fields[12]), fields[0], name))
    except OSError as error:
        return str(error)
    rows.sort(reverse=True)
    return " ".join(f"{name}:{state}:{ticks}" for ticks, state, name in rows[:6])


# Elements by the name and role a screen reader gives them, as the page
# sets them: aria-label, else the text of the control's label (without the
# control's own), else its text; an explicit role, else a button's or a
# progress bar's own. The accessibility tree itself is not built in the
# guest: kept up to date it costs the renderer much time under emulation
# (every change of the status and progress bar); the browser tests check it.
FIND = r"""function(name, role) {
  const own = (label) => [...label.childNodes].filter((n) => n.nodeType === Node.TEXT_NODE)
    .map((n) => n.textContent).join("");
  const nameOf = (e) => (e.getAttribute("aria-label") ??
    (e.labels && e.labels.length ? own(e.labels[0]) : e.textContent) ?? "").replace(/\s+/g, " ").trim();
  const roleOf = (e) => e.getAttribute("role") ??
    ({BUTTON: "button", PROGRESS: "progressbar"}[e.tagName] ?? "");
  return [...document.body.querySelectorAll("*")].filter((e) =>
    (name === null || nameOf(e) === name) && (role === null || roleOf(e) === role));
}"""


PROBE = r"""
(async () => {
  const hex = (n) => n.toString(16).toUpperCase().padStart(4, "0");
  const ids = (reports) => reports.map((r) => r.reportId);
  const out = [];
  for (const device of await navigator.hid.getDevices()) {
    const entry = {vendor: hex(device.vendorId), product: hex(device.productId),
                   name: device.productName, collections: [], reachable: [], refused: []};
    for (const c of device.collections)
      entry.collections.push({usagePage: hex(c.usagePage), usage: hex(c.usage),
        input: ids(c.inputReports), output: ids(c.outputReports), feature: ids(c.featureReports)});
    try {
      await device.open();
      // Read request for image byte 0 on each path the keyboard takes.
      const tries = [
        ["feature 3", () => device.sendFeatureReport(3, new Uint8Array([0, 0x80, 0, 0xAA]))],
        ["get feature 3", () => device.receiveFeatureReport(3)],
        ["output 3", () => device.sendReport(3, new Uint8Array([0, 0x80, 0]))],
        ["feature 0", () => device.sendFeatureReport(0, new Uint8Array(6))],
      ];
      for (const [label, attempt] of tries) {
        try { await attempt(); entry.reachable.push(label); }
        catch (e) { entry.refused.push(label + " (" + e.name + ")"); }
      }
      await device.close();
    } catch (e) { entry.refused.push("open (" + e.name + ": " + e.message + ")"); }
    out.push(entry);
  }
  return out;
})()
"""


def probe(browser, args):
    browser.open_page(args.url)
    devices = browser.evaluate(PROBE)
    for d in sorted(devices, key=lambda d: (d["vendor"], d["product"], str(d["collections"]))):
        reports = lambda c: ",".join(f"{kind[0]}{i}" for kind in ("input", "output", "feature")
                                     for i in c[kind])
        collections = " ".join(f"{c['usagePage']}:{c['usage']}({reports(c)})"
                               for c in d["collections"])
        reaches = ",".join(d["reachable"])
        print(f"device {d['vendor']}:{d['product']} \"{d['name']}\" collections {collections} "
              f"reaches {reaches or 'nothing'}")
    return 0


class Page:
    """The page's commands as a person reaches them: by name and role."""

    def __init__(self, browser):
        self.browser = browser
        self.watched = None  # the role=status and role=progressbar elements

    def element(self, name, want, timeout=30):
        deadline = time.monotonic() + timeout
        while True:
            for node in self.browser.find(name=name):
                if self.browser.call(node, "function() { return " + want + "; }"):
                    return node
            if time.monotonic() > deadline:
                raise RuntimeError(f'no usable element named "{name}"')
            time.sleep(0.5)

    def button(self, name, timeout=30):
        return self.element(name, "(this.tagName === 'BUTTON' || this.getAttribute('role') === "
                            "'button') && !this.disabled && this.getAttribute('aria-disabled') "
                            "!== 'true'", timeout)

    def click(self, name, timeout=30):
        self.browser.call(self.button(name, timeout), "function() { this.click(); }")

    def watch(self):
        """Finds the status and progress elements once; state() reads them."""
        objects = []
        for role in ("status", "progressbar"):
            for node in self.browser.find(role=role):
                objects.append(self.browser.send("DOM.resolveNode", {"backendNodeId": node})
                               ["object"]["objectId"])
        if not objects:
            raise RuntimeError("the page has no role=status element")
        self.watched = objects

    def state(self):
        """(status text, progress) in one call into the page."""
        first, *rest = self.watched
        value = self.browser.send("Runtime.callFunctionOn", {
            "objectId": first, "arguments": [{"objectId": o} for o in rest],
            "functionDeclaration": "function(...more) { const all = [this, ...more];"
            " const texts = all.filter((e) => e.tagName !== 'PROGRESS' &&"
            " e.getAttribute('role') !== 'progressbar').map((e) => e.innerText.trim());"
            " const bars = all.filter((e) => !texts.includes(e) && (e.tagName === 'PROGRESS' ||"
            " e.getAttribute('role') === 'progressbar')).map((e) => e.tagName === 'PROGRESS' ?"
            " e.value + '/' + e.max : e.getAttribute('aria-valuenow'));"
            " return [texts.filter(Boolean).join(' | ').replace(/\\s*\\n\\s*/g, ' / '),"
            " bars.join(' ')]; }",
            "returnByValue": True})["result"].get("value")
        return value[0], value[1]

    def wait_ready(self, timeout):
        """Waits for the page's data-ready mark, set once its core has loaded."""
        started = time.monotonic()
        while self.browser.evaluate("document.body.dataset.ready") != "true":
            if time.monotonic() > started + timeout:
                raise RuntimeError(f"the page was not ready within {timeout}s")
            time.sleep(0.5)
        print(f"page: ready after {time.monotonic() - started:.1f}s", flush=True)

    def wait_status(self, pattern, before, timeout, until=lambda: False):
        """The status text once it matches pattern (or until() holds); gives
        up when neither the status nor the progress bar changes for timeout
        seconds (a transfer may run long on a slow machine)."""
        started = changed = shown = time.monotonic()
        text, progress = before, None
        while time.monotonic() < changed + timeout:
            now, bar = self.state()
            if now != text or bar != progress:
                changed = time.monotonic()
                if now != text or changed - shown >= 30:
                    print(f"{changed - started:7.1f}s {now} [{bar}]", flush=True)
                    shown = changed
                moved, text, progress = now != text, now, bar
                if moved and re.search(pattern, text, re.IGNORECASE):
                    return text
            if until():
                return text
            time.sleep(1)
        raise RuntimeError(f'status stayed "{text}" for {timeout}s')


FAILED = r"fail|error|refus|only be programmed|not found|didn.t find|no keyboard|enter it"


def set_keyboard_version(browser, page, version):
    """Enters the keyboard's version where the page asks for it (the
    browser does not report a device's version)."""
    for node in browser.find(name="Keyboard version"):
        browser.call(node, "function() { this.value = '%d'; this.dispatchEvent("
                     "new Event('change', {bubbles: true})); }" % version)


def program(browser, args):
    url = args.url
    if args.keyboard_version:
        url += ("&" if "?" in url else "?") + f"keyboardVersion={args.keyboard_version}"
    browser.open_page(url, args.downloads)
    page = Page(browser)
    page.wait_ready(300)
    chooser = page.element("Load settings from file", "this.tagName === 'INPUT' && "
                           "this.type === 'file'", timeout=120)
    page.watch()
    if args.keyboard_version:
        set_keyboard_version(browser, page, args.keyboard_version)
    before = page.state()[0]
    browser.send("DOM.setFileInputFiles", {"files": [args.load], "backendNodeId": chooser})
    text = page.wait_status(".", before, 60)
    print("status: " + text, flush=True)
    if re.search(FAILED, text, re.IGNORECASE):
        return 1
    page.click("Program Keyboard", timeout=60)
    print("page: " + browser.evaluate("document.visibilityState"), flush=True)
    text = page.wait_status("programmed|" + FAILED, text, args.timeout)
    print("status: " + text, flush=True)
    if re.search(FAILED, text, re.IGNORECASE) or not re.search(r", verified\b", text):
        return 1
    page.click("Read Keyboard EEProm")
    finished = lambda: [d for d in browser.downloads.values() if d["state"] != "inProgress"]
    text = page.wait_status(FAILED, text, args.timeout, until=finished)
    print("status: " + page.state()[0], flush=True)
    for download in finished():
        print(f"download: {download['name']} {download['state']}", flush=True)
    if re.search(FAILED, text, re.IGNORECASE):
        return 1
    # A keyboard without a product string is shown by its version ("V0001"),
    # as on the desktop, not by the name the system gives the device.
    deadline = time.monotonic() + 60
    while not re.search(r"Keyboard read !", page.state()[0]) and time.monotonic() < deadline:
        time.sleep(1)
    shown = page.state()[0]
    if not re.search(r"Keyboard read ! V\d{4}\b", shown):
        print(f'status after the read: "{shown}", not "Keyboard read ! Vnnnn"', flush=True)
        return 1
    return 0 if finished() and all(d["state"] == "completed" for d in finished()) else 1


def serve(folder, port):
    """Serves the site's folder on the loopback address, uncached, with the
    headers a page that shares memory with its workers needs."""
    import functools
    import http.server

    class Handler(http.server.SimpleHTTPRequestHandler):
        def end_headers(self):
            self.send_header("Cache-Control", "no-store")
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
            super().end_headers()

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", port), functools.partial(Handler, directory=folder))
    print(f"serving {folder} on port {port}", flush=True)
    server.serve_forever()


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "serve":
        return serve(sys.argv[2], int(sys.argv[3]))
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["probe", "program"])
    parser.add_argument("url")
    parser.add_argument("--load")
    parser.add_argument("--downloads")
    parser.add_argument("--profile", default="/tmp/chromium-profile")
    parser.add_argument("--log", default="/tmp/chromium.log")
    parser.add_argument("--timeout", type=int, default=240)
    parser.add_argument("--keyboard-version", type=int, default=0)
    args = parser.parse_args()
    with open(args.log, "a") as log:
        browser = Browser(args.profile, log)
        try:
            return (probe if args.command == "probe" else program)(browser, args)
        except RuntimeError as error:
            if "no answer" in str(error):
                browser.diagnose()
            if "crashed" in str(error):  # the browser's word on how it ended
                try:
                    browser.wait_event("Target.targetCrashed", 10)
                except RuntimeError:
                    pass
            print("error: " + str(error), flush=True)
            return 1
        finally:
            browser.close()


if __name__ == "__main__":
    sys.exit(main())
