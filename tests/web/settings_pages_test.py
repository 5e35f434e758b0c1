#!/usr/bin/python3
"""The settings pages, as the built sentrova.exe carries them, in headless Chromium.

Usage: settings_pages_test.py SENTROVA_EXE [QBHOST_EXE] [unittest arguments]
       settings_pages_test.py SENTROVA_EXE --shots DIR

The HTML resources (type 23) and the DEFSET, CONFIG and LABELS texts are read
from the executable's resource section, the resources are served on 127.0.0.1
under their lower-case names, and every page gets a recording stand-in for the
host's page object "cfg" that starts from the program's own defaults. The
stand-in keeps its values and its call log in the tab's session storage, so
that both survive the page reloading itself. Given the stand-in host, the
folder that "qbhost pages" writes is opened from disk as a user would. With
--shots the three pages are photographed at 450 x 470 instead.
"""
import html
import http.server
import json
import os
import shutil
import subprocess
import struct
import sys
import tempfile
import threading
import unittest
import uuid

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import Select, WebDriverWait

WAIT = 60  # seconds; generous, the machine may be loaded


def pe_resources(path):
    """{(type, name): bytes} of a PE file's resources (first language)."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, opt_size = struct.unpack_from("<H12xH", data, pe + 6)
    opt = pe + 24
    dirs = opt + (112 if struct.unpack_from("<H", data, opt)[0] == 0x20B else 96)
    res_rva = struct.unpack_from("<I", data, dirs + 2 * 8)[0]
    table = [struct.unpack_from("<II4xI", data, opt + opt_size + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        return next(rva - va + raw for size, va, raw in table if va <= rva < va + size)

    base = offset(res_rva)

    def entries(at):
        named, ids = struct.unpack_from("<HH", data, base + at + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, base + at + 16 + 8 * i)
            if name & 0x80000000:
                n = struct.unpack_from("<H", data, base + (name & 0x7FFFFFFF))[0]
                name = data[base + (name & 0x7FFFFFFF) + 2:][:2 * n].decode("utf-16-le")
            yield name, target & 0x7FFFFFFF

    found = {}
    for rtype, t in entries(0):
        for name, n in entries(t):
            lang = next(entries(n))[1]
            rva, size = struct.unpack_from("<II", data, base + lang)
            found[(rtype, name)] = data[offset(rva):offset(rva) + size]
    return found


def name_values(text):
    return dict(line.split("=", 1) for line in text.split(b"\0")[0].decode().split("\r\n") if line)


EXE = sys.argv[1] if len(sys.argv) > 1 else ""
QBHOST = sys.argv[2] if len(sys.argv) > 2 and sys.argv[2].endswith(".exe") else None
RES = pe_resources(EXE) if EXE else {}
PAGES = {name.lower(): body for (rtype, name), body in RES.items() if rtype == 23}
DEFAULTS = {**name_values(RES.get((10, "DEFSET"), b"")), **name_values(RES.get((10, "CONFIG"), b""))}
LABELS = name_values(RES.get((10, "LABELS"), b""))

# One table per page: key (element id, or radio name), control, label as it
# stands in the page source, help topic.
GENERAL = [
    ("VRX_ALL", "radio", "Enable/Disable Sentrova", None),
    ("SHOW_TRAY", "check", "Show Sentrova Icon in System Tray", 998),
    ("HOME_MON", "check", "Monitor web browser homepage", 996),
    ("HOME_SET", "check", "If the homepage changes, reset it to the following without prompting", None),
    ("HOME_URL", "text", None, 997),
    ("RUN_ENDIE", "disabled", "Clean up the system when exiting Internet Explorer", 999),
    ("RESET", "button", "Restore Default Settings Now", 1000),
]
CLEANUP = [
    ("RUN_AUTO", "check", "Perform Clean Up Every: ", 1001),
    ("RUN_DELAY", "select", None, None),
    ("RUN_PERIOD", "select", None, None),
    ("CLEAN", "button", "Clean Up Now", 1002),
    ("PREVIEW", "button", "Preview...", None),
    ("IE_BAR", "check", "URL previously typed into Address Bar", 1004),
    ("IE_HIST", "check", "Visited website history", 1005),
    ("IE_TEMP", "check", "Temporary Internet Files (e.g. websites, pictures, ...)", 1006),
    ("IE_FILLFORM", "check", "Form data that is inserted automatically", 1007),
    ("IE_FILLPASS", "check", "User names and passwords", 1008),
    ("IE_COOKIES", "check", "Stored cookies", 1009),
    ("COOKIES", "button", "Manage Cookies", 1003),
    ("WIN_DOC", "check", "Recently opened documents history (My Recent Documents)", 1010),
    ("WIN_RECYCLE", "check", "Recycle Bin", 1011),
    ("WIN_TEMP", "check", "Windows temporary files stored in the Temp directory", 1012),
    ("WIN_DOWN", "check", "Downloaded Program Files folder", 1013),
    ("WIN_RUN", "check", "Words you entered into Start -&#062; Run column", 1014),
    ("WIN_SEARCH", "check", "Words you entered into Start -&#062; Search column", 1015),
]
# The security page: the catalogue's groups in the catalogue's order, labels
# from the program's LABELS texts except the two that the page writes otherwise.
TREE = [
    ("Cookie Settings", "M_COOKIE_1 M_COOKIE_SES1 M_COOKIE_3 M_COOKIE_SES3"),
    ("ActiveX Settings", "M_AX_DOWN_S M_AX_DOWN_US M_AX_RUN M_AX_INITNS M_AX_SCRIPT"),
    ("Scripting Settings", "M_SCRIPT_ACTIVE M_SCRIPT_JAPP M_SCRIPT_PASTE M_ADV_DISSCRIPT"),
    ("Other Settings", "M_MISC_ACCDATA M_MISC_UD_PERS M_MISC_NAV_FRAME M_MISC_METAREFRESH M_MISC_MIX "
     "M_MISC_INST_DI M_MISC_DDFILES M_MISC_PROG_IFRAME M_MISC_CERT M_MISC_SCH_PERM M_MISC_SUB_NONENC"),
    ("Download and Launch Settings", "M_DOWN_FONT M_DOWN_FILE M_LAUNCH_WEBVIEW M_LAUNCH_UNSAFE"),
    ("User Authentication Settings", "M_UA_LOGON M_UA_PRIVACY"),
    (".NET Framework Settings", "M_NET_SIGN M_NET_NOTSIGN"),
    ("Microsoft VM Settings", "M_JAVA_PERM M_JAVA_RUN"),
]
PAGE_LABELS = {**LABELS, "M_MISC_CERT": LABELS.get("M_MISC_CERT", "").replace("'", "&#039;"),
               "M_MISC_UD_PERS": "Userdata persistence"}
SECURITY = [(k, "check", PAGE_LABELS.get(k), 1016 + i)
            for i, k in enumerate(" ".join(keys for _, keys in TREE).split())]
TABLES = {"opt_general": ("General Settings", GENERAL), "opt_cleanup": ("Clean Up Settings", CLEANUP),
          "opt_security": ("Security Monitoring Settings", SECURITY)}

STAND_IN = """(function (run, defaults, initial) {
  var store = window.sessionStorage;
  function load(k, d) { var v = store.getItem(run + k); return v === null ? d : JSON.parse(v); }
  var values = load("values", initial), calls = load("calls", []), errors = load("errors", []);
  function save() { store.setItem(run + "values", JSON.stringify(values));
    store.setItem(run + "calls", JSON.stringify(calls)); store.setItem(run + "errors", JSON.stringify(errors)); }
  function method(name, body) { return function () { var args = [].slice.call(arguments);
    calls.push([name].concat(args)); var r = body.apply(null, args); save(); return r; }; }
  function has(k) { return Object.prototype.hasOwnProperty.call(values, k); }
  window.cfg = {
    StartSettings: method("StartSettings", function () {}),
    GetCfgBool: method("GetCfgBool", function (p, k, d) { return has(k) ? +values[k] !== 0 : !!d; }),
    GetCfgInt: method("GetCfgInt", function (p, k, d) { return has(k) ? parseInt(values[k], 10) : d; }),
    GetCfgStr: method("GetCfgStr", function (p, k) { return has(k) ? values[k] : ""; }),
    SetCfgBool: method("SetCfgBool", function (p, k, v) { values[k] = v ? "-1" : "0"; }),
    SetCfgInt: method("SetCfgInt", function (p, k, v) { values[k] = String(v); }),
    SetCfgStr: method("SetCfgStr", function (p, k, v) { values[k] = v; }),
    ResetDefault: method("ResetDefault", function () { values = JSON.parse(JSON.stringify(defaults)); }),
    ButtonClick: method("ButtonClick", function () {})
  };
  window.open = method("open", function () { return null; });
  window.addEventListener("error", function (e) { errors.push(String(e.message)); save(); });
})(%s, %s, %s);"""


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            body = PAGES.get(self.path.strip("/"))
            if body is None:
                self.send_error(404)
                return
            name = self.path.strip("/")
            kind = ("image/gif" if body.startswith(b"GIF8") else "text/css" if name.endswith("css")
                    else "text/javascript" if name.endswith("js") else "text/html")
            self.send_response(200)
            self.send_header("Content-Type", kind)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    def __init__(self):
        super().__init__(("127.0.0.1", 0), Server.Handler)
        threading.Thread(target=self.serve_forever, daemon=True).start()


def start_browser(profile):
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--user-data-dir=" + profile, "--window-size=450,470"):
        options.add_argument(arg)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.set_page_load_timeout(WAIT)
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": 450, "height": 470, "deviceScaleFactor": 1, "mobile": False})
    return driver


class SettingsPages(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.profile = tempfile.mkdtemp(prefix="sentrova-pages-")
        cls.server = Server()
        cls.driver = start_browser(cls.profile)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()
        shutil.rmtree(cls.profile, ignore_errors=True)

    def setUp(self):
        self.script = None

    def tearDown(self):
        if self.script:
            self.driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", {"identifier": self.script})

    def open_page(self, page, **values):
        """Loads a page over a fresh stand-in holding the defaults changed by values."""
        self.tearDown()
        self.run_id = uuid.uuid4().hex
        self.script = self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
            "source": STAND_IN % (json.dumps(self.run_id), json.dumps(DEFAULTS), json.dumps({**DEFAULTS, **values}))})["identifier"]
        self.driver.get_log("browser")
        self.driver.get("http://127.0.0.1:%d/%s" % (self.server.server_address[1], page))
        self.wait_for_calls("StartSettings", 1)

    def state(self, what):
        return self.driver.execute_script("return JSON.parse(sessionStorage.getItem(arguments[0]) || '[]')",
                                          self.run_id + what)

    def calls(self, name=None):
        return [c for c in self.state("calls") if name in (None, c[0])]

    def wait_for_calls(self, name, count):
        # A reload may be under way: a script run on the leaving page is retried.
        wait = WebDriverWait(self.driver, WAIT, ignored_exceptions=(WebDriverException,))
        wait.until(lambda d: len(self.calls(name)) >= count)
        wait.until(lambda d: d.execute_script("return document.readyState") == "complete")

    def click_for_call(self, element):
        """Clicks as a user does and returns the one call that the click made."""
        before = len(self.calls())
        element.click()
        self.wait_for_calls(None, before + 1)
        return self.calls()[before:]

    def control(self, key, kind):
        by = (By.CSS_SELECTOR, "input[name=%s]" % key) if kind == "radio" else (By.ID, key)
        return self.driver.find_element(*by)

    def row(self, key, kind):
        return self.control(key, kind).find_element(By.XPATH, "./ancestor::div[@class][1]")

    def shown(self, key, kind):
        if kind == "radio":
            return self.driver.find_element(By.CSS_SELECTOR, "input[name=%s]:checked" % key).get_attribute("value")
        element = self.control(key, kind)
        return element.is_selected() if kind in ("check", "disabled") else element.get_attribute("value")

    def test_pages_load_with_every_control_labelled_and_the_host_started_first(self):
        for page, (title, table) in TABLES.items():
            with self.subTest(page=page):
                self.open_page(page)
                self.assertEqual(self.driver.title, title)
                self.assertEqual(self.calls()[:2], [["StartSettings", "VRX"], ["GetCfgStr", "VRX", "SETTINGS_HELP", 1]])
                source = PAGES[page].decode()
                for key, kind, label, topic in table:
                    if label is None:
                        continue
                    self.assertIn(">" + label + "<", source, key)
                    caption = self.row(key, kind).find_elements(By.CSS_SELECTOR, ".caption")
                    text = (caption[0] if caption else self.control(key, kind)).get_attribute("textContent")
                    self.assertEqual(text, html.unescape(label), key)
                self.assertEqual(source.count("What&#039;s&nbsp;this?"), sum(1 for row in table if row[3]))
                self.assertEqual(self.state("errors"), [])
                self.assertEqual([e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"], [])

    def test_security_tree_follows_the_catalogue_groups(self):
        self.open_page("opt_security")
        groups = self.driver.find_elements(By.CSS_SELECTOR, ".group")
        self.assertEqual([g.find_element(By.CSS_SELECTOR, ".heading").text for g in groups], [h for h, _ in TREE])
        for group, (_, keys) in zip(groups, TREE):
            boxes = group.find_elements(By.CSS_SELECTOR, "input[type=checkbox]")
            self.assertEqual([b.get_attribute("id") for b in boxes], keys.split())
            lines = [i.get_attribute("src").rsplit("/", 1)[1] for i in group.find_elements(By.TAG_NAME, "img")]
            self.assertEqual(lines, ["tree_loop"] * (len(boxes) - 1) + ["tree_lastdots"])
            self.assertTrue(all(i.get_attribute("naturalWidth") != "0" for i in group.find_elements(By.TAG_NAME, "img")))
        self.assertEqual(self.driver.find_elements(By.ID, "M_SCRIPT_WEBOC") + self.driver.find_elements(By.ID, "M_COOKIE_SITE"), [])

    def test_controls_show_the_stored_values(self):
        flipped = {"VRX_ALL": "-1", "RUN_DELAY": " 15 ", "RUN_PERIOD": "H", "HOME_URL": "http://start.example/"}
        for page, (_, table) in TABLES.items():
            with self.subTest(page=page):
                checks = [k for k, kind, _, _ in table if kind in ("check", "disabled")]
                self.open_page(page, **flipped, **{k: "0" if DEFAULTS[k] != "0" else "-1" for k in checks})
                for key, kind, _, _ in table:
                    expected = {"check": DEFAULTS.get(key) == "0", "disabled": True, "radio": "1",
                                "text": "http://start.example/", "select": {"RUN_DELAY": "15", "RUN_PERIOD": "h"}.get(key),
                                "button": None}[kind]
                    if expected is not None:
                        self.assertEqual(self.shown(key, kind), expected, key)
                    reader = {"check": "GetCfgBool", "disabled": "GetCfgBool", "radio": "GetCfgInt"}.get(kind, "GetCfgStr")
                    if kind != "button":
                        self.assertIn([reader, "VRX", key, 1 if reader == "GetCfgStr" else 0], self.calls(), key)

    def test_changes_are_written_with_key_value_and_flag(self):
        for page, (_, table) in TABLES.items():
            with self.subTest(page=page):
                self.open_page(page)
                for key, kind, _, _ in table:
                    before = len(self.calls())
                    if kind in ("check", "disabled", "radio"):
                        self.driver.execute_script("arguments[0].click()", self.control(key, kind)
                                                   if kind != "radio" else self.driver.find_element(By.ID, key + "_0"))
                    elif kind == "select":
                        choice = Select(self.control(key, kind))
                        choice.select_by_index(len(choice.options) - 1)
                        self.wait_for_calls(None, before + 1)
                    else:
                        continue
                    written = self.calls()[before:]
                    expected = {"check": [["SetCfgBool", "VRX", key, DEFAULTS[key] == "0", 1]], "disabled": [],
                                "radio": [["SetCfgInt", "VRX", key, 0, 1]],
                                "select": [["SetCfgStr", "VRX", key, {"RUN_DELAY": "45", "RUN_PERIOD": "d"}.get(key), 1]]}[kind]
                    self.assertEqual(written, expected, key)

    def test_home_url_is_normalised_when_the_box_is_left(self):
        self.open_page("opt_general")
        box = self.driver.find_element(By.ID, "HOME_URL")
        self.assertEqual(box.get_attribute("maxlength"), "250")
        for typed, saved in [("www.example.com", "http://www.example.com"), ("https://example.com/a", "https://example.com/a"),
                             ("intranet-01:8080/", "http://intranet-01:8080/"), ("webserver1:8080/", "webserver1:8080/"),
                             ("", "about:blank"),
                             ("  example.org  ", "http://example.org")]:
            box.send_keys(Keys.CONTROL, "a")  # as a user replaces the text, so that leaving it is a change
            box.send_keys(Keys.BACKSPACE, typed) if typed else box.send_keys(Keys.BACKSPACE)
            self.driver.execute_script("arguments[0].blur()", box)
            self.assertEqual(self.calls()[-1], ["SetCfgStr", "VRX", "HOME_URL", saved, 1], typed)
            self.assertEqual(box.get_attribute("value"), saved)

    def test_restore_defaults_asks_first(self):
        question = ("If you restore default settings, all your personal settings will be lost.\n"
                    "Are you sure you want to restore all default settings?")
        for accept in (False, True):
            with self.subTest(accept=accept):
                self.open_page("opt_general", SHOW_TRAY="-1")
                self.driver.execute_script("window.notReloaded = true")
                self.driver.find_element(By.ID, "RESET").click()
                alert = WebDriverWait(self.driver, WAIT).until(expected_conditions.alert_is_present())
                self.assertEqual(alert.text, question)
                alert.accept() if accept else alert.dismiss()
                if accept:
                    self.wait_for_calls("StartSettings", 2)
                self.assertEqual(self.calls("ResetDefault"), [["ResetDefault", "VRX"]] if accept else [])
                self.assertEqual(self.driver.execute_script("return window.notReloaded === true"), not accept)
                self.assertEqual(self.shown("SHOW_TRAY", "check"), not accept)

    def test_buttons_forward_their_commands(self):
        for key in (k for k, kind, _, _ in CLEANUP if kind == "button"):
            self.open_page("opt_cleanup")
            self.assertEqual(self.click_for_call(self.driver.find_element(By.ID, key)), [["ButtonClick", "VRX", key]])

    def test_last_clean_line_is_worded_as_the_program_words_it(self):
        with open(os.path.join(os.path.dirname(__file__), "..", "data", "last_clean_lines.txt"), encoding="utf-8") as table:
            rows = [line.rstrip("\n").split("\t") for line in table if not line.startswith("#")]
        self.assertGreater(len(rows), 10)
        for stored, expected in rows:
            with self.subTest(stored=stored):
                self.open_page("opt_cleanup", LAST_CLEAN=stored)
                self.assertIn(["GetCfgStr", "VRX", "LAST_CLEAN", 1], self.calls())
                self.assertEqual(self.driver.find_element(By.ID, "LAST_CLEAN").get_attribute("textContent"), expected)
                self.assertEqual(self.state("errors"), [])

    def test_help_links_open_the_topic(self):
        portal = "https://support.brindle-soft.example/portal/?p=sentrova&t=settings&i="
        for help_base in (DEFAULTS["SETTINGS_HELP"], "", "https://help.example/?t="):
            for page, (_, table) in TABLES.items():
                with self.subTest(page=page, help=help_base):
                    self.open_page(page, SETTINGS_HELP=help_base)
                    for key, kind, _, topic in table:
                        if topic:
                            link = self.row(key, kind).find_element(By.CSS_SELECTOR, "a.help")
                            self.assertEqual(self.click_for_call(link), [["open", (help_base or portal) + str(topic), "SentrovaHelp",
                                                                          "width=790,height=540,resizable=yes,scrollbars=yes"]])

    @unittest.skipUnless(QBHOST, "the stand-in host is not given")
    def test_stand_in_host_writes_pages_that_open_from_disk(self):
        folder = tempfile.mkdtemp(prefix="sentrova-pages-", dir="/tmp")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        wine_run = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "wine-run")
        root = os.path.join(os.path.dirname(os.path.dirname(QBHOST)), "wine")
        run = subprocess.run([wine_run, "--root", root, "--timeout", "120", QBHOST, "pages", "Z:" + folder.replace("/", "\\")],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=300)
        self.assertEqual(run.returncode, 0, run.stdout)
        written = {"%s.html" % p for p in TABLES} | {"index.html", "scriptjs.js", "screencss.css", "vrxcss.css",
                                                     "tree_loop.gif", "tree_lastdots.gif", "dots_of_tree.gif"}
        self.assertEqual(set(os.listdir(folder)), written, run.stdout)
        for page, (_, table) in TABLES.items():
            with self.subTest(page=page):
                self.driver.get_log("browser")
                self.driver.get("file://%s/%s.html" % (folder, page))
                WebDriverWait(self.driver, WAIT).until(lambda d: "Not connected to a toolbar host" in d.find_element(By.TAG_NAME, "body").text)
                self.assertEqual(self.driver.execute_script("return getComputedStyle(document.body).color"), "rgb(31, 41, 51)")
                self.assertTrue(all(i.get_attribute("naturalWidth") != "0" for i in self.driver.find_elements(By.TAG_NAME, "img")))
                for key, kind, _, _ in table:
                    if kind in ("check", "disabled"):
                        self.assertEqual(self.shown(key, kind), DEFAULTS[key] != "0", key)
                self.assertEqual([e for e in self.driver.get_log("browser") if e["level"] == "SEVERE"], [])


# The pictures show a page as a user who has cleaned up once sees it.
SHOT_VALUES = {**DEFAULTS, "LAST_CLEAN": "1;2026-12-07 09:41:05;IE_BAR=14,612;IE_TEMP=1834,48731562;WIN_TEMP=93,7402181"}


def take_shots(folder):
    server, profile = Server(), tempfile.mkdtemp(prefix="sentrova-shots-")
    driver = start_browser(profile)
    try:
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                               {"source": STAND_IN % (json.dumps("shots"), json.dumps(DEFAULTS), json.dumps(SHOT_VALUES))})
        for page in TABLES:
            driver.get("http://127.0.0.1:%d/%s" % (server.server_address[1], page))
            WebDriverWait(driver, WAIT).until(lambda d: d.execute_script("return document.readyState") == "complete")
            driver.save_screenshot(os.path.join(folder, "settings-%s.png" % page[4:]))
    finally:
        driver.quit()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) < 2 or not PAGES:
        sys.exit("usage: settings_pages_test.py SENTROVA_EXE [--shots DIR] (no HTML resources found)")
    if len(sys.argv) > 3 and sys.argv[2] == "--shots":
        take_shots(sys.argv[3])
    else:
        unittest.main(argv=[sys.argv[0]] + sys.argv[3 if QBHOST else 2:], verbosity=2)
