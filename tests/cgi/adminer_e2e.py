#!/usr/bin/env python3
"""A real PHP application through the engine: Debian's Adminer, copied into a
temporary folder and served by the folder server on port 80 with php-cgi,
driven by headless Chromium (its DevTools protocol over a pipe) through the
login form to a table of an SQLite database and back out.

Run in a network namespace of its own (tests/netns-run). Usage:
  adminer_e2e.py SERVE_FOLDER_PROGRAM
Exits 77 (skipped) with a message when a package it needs is missing.
"""
import json
import select
import os
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

ADMINER = "/usr/share/adminer/adminer.php"
PLUGINS = "/usr/share/adminer/plugins/"
PASSWORD = "sesame"
# Adminer's own way to reach a database without a password (SQLite): its
# password-less login plugin, here with the password above.
INDEX_PHP = """<?php
function adminer_object() {
  include_once '%(plugins)splugin.php';
  include_once '%(plugins)slogin-password-less.php';
  include_once '%(plugins)sversion-noverify.php';
  return new AdminerPlugin(array(
    new AdminerLoginPasswordLess(password_hash('%(password)s', PASSWORD_DEFAULT)),
    new AdminerVersionNoverify()));
}
include './adminer.php';
""" % {"plugins": PLUGINS, "password": PASSWORD}
PHP_CGI = "/usr/bin/php-cgi"
CHROMIUM = "/usr/bin/chromium"
SKIPPED = 77


def skip_if_missing():
    missing = []
    if not os.path.isfile(ADMINER) or not os.path.isfile(PLUGINS + "login-password-less.php"):
        missing.append("adminer (" + ADMINER + " and its plugins)")
    if not os.path.isfile(PHP_CGI):
        missing.append("php-cgi")
    elif "pdo_sqlite" not in subprocess.run([PHP_CGI, "-m"], capture_output=True,
                                            text=True).stdout:
        missing.append("php-sqlite3 (pdo_sqlite for php-cgi)")
    if not os.path.isfile(CHROMIUM):
        missing.append("chromium")
    if missing:
        print("SKIPPED: the Adminer test needs " + ", ".join(missing) +
              "; run scripts/setup.sh to install them")
        sys.exit(SKIPPED)


def wait_for_port(seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            socket.create_connection(("127.0.0.1", 80), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    raise AssertionError("the server never listened on port 80")


class Browser:
    """Headless Chromium spoken to over --remote-debugging-pipe: JSON
    messages, each ended by a NUL byte, on its descriptors 3 (in) and 4 (out)."""

    def __init__(self, profile):
        to_browser = os.pipe()
        from_browser = os.pipe()

        def wire():
            os.dup2(to_browser[0], 3)
            os.dup2(from_browser[1], 4)

        self.process = subprocess.Popen(
            [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--remote-debugging-pipe", "--user-data-dir=" + profile, "about:blank"],
            preexec_fn=wire, pass_fds=(3, 4), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(to_browser[0])
        os.close(from_browser[1])
        self.out = to_browser[1]
        self.inp = from_browser[0]
        self.pending = b""
        self.events = []
        self.next_id = 0
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]
        self.call("Page.enable", session=True)
        self.call("Runtime.enable", session=True)

    def _read_message(self, deadline):
        while b"\0" not in self.pending:
            if time.monotonic() > deadline:
                raise AssertionError("the browser did not answer in time")

            ready, _, _ = select.select([self.inp], [], [], 0.5)
            if ready:
                chunk = os.read(self.inp, 65536)
                if not chunk:
                    raise AssertionError("the browser went away")
                self.pending += chunk
        message, self.pending = self.pending.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=False, seconds=30):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = self.session
        os.write(self.out, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + seconds
        while True:
            reply = self._read_message(deadline)
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise AssertionError(method + ": " + json.dumps(reply["error"]))
                return reply.get("result", {})
            self.events.append(reply)

    def wait_for_event(self, method, seconds=30):
        deadline = time.monotonic() + seconds
        while True:
            for i, event in enumerate(self.events):
                if event.get("method") == method:
                    del self.events[i]
                    return event
            self.events.append(self._read_message(deadline))

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate",
                           {"expression": expression, "returnByValue": True,
                            "awaitPromise": True}, session=True)
        if "exceptionDetails" in result:
            raise AssertionError("script failed: " + json.dumps(result["exceptionDetails"]))
        return result["result"].get("value")

    def navigate(self, url):
        self.events.clear()
        self.call("Page.navigate", {"url": url}, session=True)
        self.wait_for_event("Page.loadEventFired")

    def act_and_wait(self, expression):
        """Runs a script that leaves the page (a click, a form sent) and waits
        until the next page has loaded."""
        self.events.clear()
        self.evaluate(expression)
        self.wait_for_event("Page.loadEventFired")

    def text(self):
        """The page's text; what PHP complains about belongs to the server's
        terminal, never to a page."""
        text = self.evaluate("document.documentElement.outerHTML")
        check("PHP Warning" not in text and "PHP Notice" not in text,
              "no PHP complaint on the page", text)
        return self.evaluate("document.body ? document.body.innerText : ''")

    def close(self):
        try:
            self.call("Browser.close", seconds=5)
        except (AssertionError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def check(condition, what, page):
    if not condition:
        raise AssertionError(what + "\n--- page text ---\n" + page[:3000])


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    skip_if_missing()
    root = tempfile.mkdtemp(prefix="ambrel-adminer-")
    server = browser = None
    try:
        site = os.path.join(root, "site")
        os.makedirs(site)
        shutil.copy(ADMINER, os.path.join(site, "adminer.php"))
        with open(os.path.join(site, "index.php"), "w") as index:
            index.write(INDEX_PHP)
        database = os.path.join(root, "data", "shop.sqlite")
        os.makedirs(os.path.dirname(database))
        with sqlite3.connect(database) as db:
            db.execute("CREATE TABLE visitors (id INTEGER PRIMARY KEY, name TEXT)")
            db.executemany("INSERT INTO visitors (name) VALUES (?)",
                           [("Ada Lovelace",), ("Grace Hopper",)])
        server = subprocess.Popen([sys.argv[1], site, "--php", "/usr/bin", "--cgi"],
                                  stdin=subprocess.PIPE)
        wait_for_port()
        browser = Browser(os.path.join(root, "profile"))

        # The login form.
        browser.navigate("http://127.0.0.1/")
        page = browser.text()
        check(browser.evaluate("!!document.querySelector('[name=\"auth[driver]\"]')"),
              "Adminer shows its login form", page)

        # Log in to the SQLite database: the form is sent, Adminer answers
        # with a redirect and a session cookie, and shows the database.
        browser.act_and_wait(
            "(() => { const f = document.forms[0];"
            " f.elements['auth[driver]'].value = 'sqlite';"
            " f.elements['auth[username]'].value = '';"
            " f.elements['auth[password]'].value = '" + PASSWORD + "';"
            " f.elements['auth[db]'].value = " + json.dumps(database) + ";"
            " f.querySelector('input[type=submit]').click(); })()")
        page = browser.text()
        check("visitors" in page, "the database page lists the table", page)
        check(browser.evaluate("location.search").find("sqlite=") >= 0,
              "the database page's address names the driver", page)
        # The page's own script request, whose PHP code warns on the way
        # (Adminer with SQLite): the warning must not break its response.
        answer = browser.evaluate(
            "fetch(location.href + '&script=db').then(r => r.text().then(t =>"
            " r.status + ' ' + r.headers.get('content-type') + ' ' + t))"
            ".catch(e => 'failed: ' + e)")
        check(answer.startswith("200 text/javascript") and "Warning" not in answer,
              "the database page's script request answers cleanly", answer)

        # Into the table's rows, by its link.
        browser.act_and_wait(
            "[...document.querySelectorAll('a')].find(a => /select=visitors/.test(a.href)"
            " && a.textContent.trim() !== '').click()")
        page = browser.text()
        check("Ada Lovelace" in page and "Grace Hopper" in page, "the table's rows show", page)

        # And back out.
        browser.act_and_wait("document.querySelector('input[name=logout]').click()")
        page = browser.text()
        check("Logout successful" in page, "Adminer says the logout succeeded", page)
        check(browser.evaluate("!!document.querySelector('[name=\"auth[driver]\"]')"),
              "the login form is back", page)
        print("Adminer: login, table rows and logout all went through")
        return 0
    finally:
        if browser is not None:
            browser.close()
        if server is not None:
            server.stdin.close()
            try:
                server.wait(timeout=20)
            except subprocess.TimeoutExpired:
                server.kill()
                server.wait()
                print("the folder server did not stop")
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
