#!/usr/bin/env python3
"""End-to-end tests: the real executable under wine and Xvfb, driven through
its real window by driver.exe. Prints one line per test and a closing
'N passed, N failed'."""
import argparse
import contextlib
import itertools
import os
import re
import shutil
import struct
import subprocess
import sys
import time

SET_DONE = "設定が完了しました。ｱﾌﾟﾘｹｰｼｮﾝを終了します。"
REMOVE_DONE = "設定を削除しました。ｱﾌﾟﾘｹｰｼｮﾝを終了します。"
ABOUT_CAPTION = "Orvane設定ﾂｰﾙのﾊﾞｰｼﾞｮﾝ情報"
HOSTS_WINDOWS_PATH = "C:\\windows\\system32\\drivers\\etc\\Hosts"
ORIGINAL_HOSTS = b"# hosts of this PC\r\n127.0.0.1\tlocalhost\r\n"
SCREEN = "1024x768"
# The process's exit status: an action done, closed without one, an error told.
EXIT_COMPLETED, EXIT_NOTHING_CHANGED, EXIT_FAILED = 0, 1, 2
HELP_CONTEXT = 1  # the help viewer's command for a topic by number
# The command line's own conditions.
EXIT_USAGE, EXIT_SERVICE_ACCOUNT, EXIT_NO_DESKTOP, EXIT_CANNOT_TELL, EXIT_PARTLY, EXIT_BUSY = 3, 4, 5, 6, 7, 1618
CHECK_IN_PLACE = "設定済みです。"
# What a read-only hosts file is told as, after its path.
READ_ONLY_TOLD = " は読み取り専用のため、変更できません。"
PROXY_WINDOWS_NAME = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride"
BUSY = "別の設定ﾂｰﾙが設定を変更中です。しばらくしてから、もう一度実行してください。"
# The per-connection values of the LAN settings, which WinHTTP, and so browsers and .NET, read.
CONNECTIONS_WINDOWS_KEY = PROXY_WINDOWS_NAME.rsplit("\\", 1)[0] + "\\Connections\\"
CONNECTION_VALUES = ("DefaultConnectionSettings", "SavedLegacySettings")
TARGET_CHANGED, TARGET_UNCHANGED = " を変更しました。", " は変更の必要がありませんでした。"
LOG = os.path.join("drive_c", "ProgramData", "Orvane", "OrvaneSetup.log")
# Wine traces each dialog template it builds, message boxes' too.
DIALOG_TRACE = "DIALOG_ParseTemplate32"


class Session:
    def __init__(self, args):
        self.args = args
        self.prefix = os.path.abspath(args.prefix)
        self.etc = os.path.join(self.prefix, "drive_c", "windows", "system32", "drivers", "etc")
        self.app_name = os.path.splitext(os.path.basename(args.exe))[0]
        self.joined = None

    def wine(self, *command, timeout=120):
        return subprocess.run([self.args.wine_run, self.prefix, *command], capture_output=True,
                              timeout=timeout, text=True, encoding="utf-8", errors="replace")

    def drive(self, *commands):
        result = self.wine(self.args.driver, *commands)
        lines = result.stdout.splitlines()
        errors = [line for line in lines if line.startswith("error")]
        if result.returncode != 0 or errors:
            raise AssertionError(f"driver {commands}: {errors or result.stdout}")
        return lines

    def hosts_path(self):
        for name in os.listdir(self.etc):
            if name.lower() == "hosts":
                return os.path.join(self.etc, name)
        return os.path.join(self.etc, "hosts")

    def hosts(self):
        path = self.hosts_path()
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def set_hosts(self, data):
        path = self.hosts_path()
        os.chmod(self.etc, 0o755)
        with open(path, "wb") as f:
            f.write(data)

    @contextlib.contextmanager
    def running(self, status, exe=None):
        """The program, started; it must have ended by itself at the end,
        with the exit status given."""
        app = subprocess.Popen([self.args.wine_run, self.prefix, exe or self.args.exe],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            yield app
            expect(app.wait(timeout=30) == status, f"exit status {app.returncode}, not {status}")
        finally:
            if app.poll() is None:
                app.kill()
                subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=self.prefix))

    def screenshot(self, name, rect):
        x, y, w, h = rect
        out = os.path.join(self.args.shots, name)
        subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", out], check=True)

    def proxy(self):
        return self.drive("proxy?")[0][len("proxy "):]

    def proxy_raw(self):
        """ProxyOverride exactly as the registry holds it."""
        return self.drive("proxyraw?")[0]

    def connection(self, name):
        """The per-connection value `name` exactly as held, or None."""
        held = self.drive(f"connection?{name}")[0].split(" ")[2]
        return None if held == "<missing>" else bytes.fromhex(held)

    def in_force(self):
        """The bypass lists that WinHTTP and WinINet report."""
        return tuple(line.split(" ", 1)[1] for line in self.drive("inforce?"))

    def command(self, *arguments, exe=None, box=False):
        """The tool started by a batch file, as a deployment system starts
        it: its exit status as cmd reads it (all of it: bash's $? keeps only
        the low 8 bits), its standard output and error, the message box it
        showed when `box` (then answered), and whether wine built a dialog.
        The start of the event it reported is kept in self.event."""
        windows_exe = "Z:" + os.path.abspath(exe or self.args.exe).replace("/", "\\")
        drive_c = os.path.join(self.prefix, "drive_c")
        batch = (f'@echo off\r\n"{windows_exe}" {" ".join(arguments)} >C:\\e2e-out.txt 2>C:\\e2e-err.txt\r\n'
                 "echo status=%ERRORLEVEL%\r\n")
        with open(os.path.join(drive_c, "e2e.bat"), "wb") as f:
            f.write(batch.encode("cp932"))
        run = subprocess.Popen([self.args.wine_run, self.prefix, "cmd", "/c", "C:\\e2e.bat"],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               env=dict(os.environ, WINEDEBUG="+dialog,+eventlog"))
        shown = self.drive("msgbox")[0][len("box "):].split("|")[1] if box else None
        trace = run.communicate(timeout=120)[0].decode("utf-8", "replace")
        found = re.search(r"status=(\d+)", trace)
        expect(found is not None, f"no status: {trace[-300:]}")
        event = re.search(r"trace:eventlog:ReportEventW L\"(.*)", trace)
        unescape = {"t": "\t", "n": "\n", "r": "\r"}
        self.event = re.sub(r"\\(.)", lambda m: unescape.get(m.group(1), m.group(1)), event.group(1)) if event else None
        read = lambda name: open(os.path.join(drive_c, name), "rb").read().decode("cp932")
        return int(found.group(1)), read("e2e-out.txt"), read("e2e-err.txt"), shown, DIALOG_TRACE in trace

    def batch(self, line):
        """The status of `line` run by a batch file, whole, as cmd reads it."""
        drive_c = os.path.join(self.prefix, "drive_c")
        with open(os.path.join(drive_c, "e2e-line.bat"), "wb") as f:
            f.write(f'@echo off\r\n{line}\r\necho status=%ERRORLEVEL%\r\n'.encode("cp932"))
        trace = self.wine("cmd", "/c", "C:\\e2e-line.bat", timeout=300).stdout
        found = re.search(r"status=(\d+)", trace)
        expect(found is not None, f"{line}: no status: {trace[-300:]}")
        return int(found.group(1))

    def log_lines(self):
        path = os.path.join(self.prefix, LOG)
        return open(path, "rb").read().decode("cp932").splitlines() if os.path.exists(path) else []


def rect_of(line):
    return tuple(int(v) for v in line.split()[-4:])


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def test_set_then_remove(s):
    s.drive("proxy-")
    s.set_hosts(ORIGINAL_HOSTS)
    help_file = os.path.splitext(s.args.exe)[0] + ".HLP"
    with s.running(EXIT_COMPLETED):
        lines = s.drive("wait", "state", "rect")
        expect(lines[0] == "state set=1 remove=0 focus=2", lines[0])
        s.screenshot("main-dialog.png", rect_of(lines[1]))
        box, icon = s.drive("wait", "click:1000", "box", "icon")
        caption, text, _ = box[len("box "):].split("|")
        expect(caption == s.app_name, f"caption {caption!r}")
        expect(text == SET_DONE, f"text {text!r}")
        expect(icon == "icon exclamation", icon)
        s.screenshot("set-done.png", rect_of(box))
        # F1 asks for the dialog's topic; in the completion box, for the box's
        # (wine's box passes the key on to its owner twice: the same topic).
        help_box = s.drive("helpwatch", "wait", "press:112", "help?", "ok", "gone")[:-1]
        expect(help_box and all(r.startswith(f"help {HELP_CONTEXT} 0x30066 ") for r in help_box), help_box)
        expect(help_box[0].lower().endswith(os.path.basename(help_file).lower()), help_box)
    set_hosts = s.hosts()
    expect(set_hosts.startswith(ORIGINAL_HOSTS), "old lines kept")
    added = set_hosts[len(ORIGINAL_HOSTS):].decode("ascii").split("\r\n")
    expect(len(added) == 32 and added[-1] == "" and all("\t\t" in l for l in added[:-1]), f"31 lines: {added}")
    expect(s.proxy() == s.joined + ";", "proxy set")

    with s.running(EXIT_COMPLETED):
        lines = s.drive("helpwatch", "wait", "press:112", "help?", "state", "click:1001", "box")
        help_dialog = lines.pop(0)
        expect(help_dialog.startswith(f"help {HELP_CONTEXT} 0x20066 "), help_dialog)
        expect(lines[0] == "state set=0 remove=1 focus=2", lines[0])
        expect(lines[1].split("|")[1] == REMOVE_DONE, lines[1])
        s.drive("wait", "ok", "gone")
    expect(s.hosts() == ORIGINAL_HOSTS, "hosts restored")
    expect(s.proxy() == "--NULLSTRING--", "proxy emptied")


def test_closing_changes_nothing(s):
    for way in ("click:2", "key:27", "key:13", "syscommand:F060"):
        s.drive("proxy=intranet.test;<local>")
        s.set_hosts(ORIGINAL_HOSTS)
        with s.running(EXIT_NOTHING_CHANGED):
            s.drive("wait", way, "gone")
        expect(s.hosts() == ORIGINAL_HOSTS, f"{way}: hosts unchanged")
        expect(s.proxy() == "intranet.test;<local>", f"{way}: proxy unchanged")


def test_about_box_from_system_commands(s):
    s.drive(f"proxy=a.test;{s.joined.split(';')[0].upper()}")
    with s.running(EXIT_NOTHING_CHANGED):
        lines = s.drive("wait", "state", "syscommand:10", "box")
        expect(lines[0] == "state set=0 remove=1 focus=2", lines[0])
        expect(lines[1].startswith("box " + ABOUT_CAPTION + "|"), lines[1])
        s.screenshot("about-box.png", rect_of(lines[1]))
        lines = s.drive("wait", "ok", "syscommand:1F", "box", "ok", "syscommand:20", "nobox", "click:2", "gone")
        expect(lines[0].startswith("box " + ABOUT_CAPTION + "|"), lines[0])


def test_locked_hosts_changes_nothing(s):
    s.drive("proxy-")
    s.set_hosts(ORIGINAL_HOSTS)
    # Stored under another name, the tool shows that name as the caption.
    renamed = os.path.join(os.path.dirname(os.path.abspath(s.args.exe)), "renamed copy.exe")
    shutil.copyfile(s.args.exe, renamed)
    with s.running(EXIT_FAILED, renamed):
        lines = s.drive("lock", "wait", "click:1000", "box", "ok", "state", "click:2", "gone")
        caption, text, _ = lines[0][len("box "):].split("|")
        expect(caption == "renamed copy", caption)
        expect(HOSTS_WINDOWS_PATH.lower() in text.lower() and text != SET_DONE, text)
        expect(lines[1].startswith("state set=0 remove=0 "), lines[1])
    expect(s.hosts() == ORIGINAL_HOSTS, "hosts unchanged")
    expect(s.proxy() == "<missing>", "proxy unchanged")


def test_blocked_replace_puts_the_proxy_list_back(s):
    # A reader that shares reading and writing but not deletion, for longer
    # than the tool retries: the hosts file can be read and the new one
    # written beside it, but not put in its place, after the proxy list was
    # written.
    s.drive("proxy=intranet.test;<local>")
    s.set_hosts(ORIGINAL_HOSTS)
    proxy = s.proxy_raw()
    with s.running(EXIT_FAILED):
        box, icon, state = s.drive("hold", "wait", "click:1000", "box", "icon", "ok", "state", "click:2", "gone")[:3]
        caption, text, _ = box[len("box "):].split("|")
        expect(caption == s.app_name, caption)
        expect(HOSTS_WINDOWS_PATH.lower() in text.lower() and text != SET_DONE, text)
        expect(icon == "icon stop", icon)
        expect(state.startswith("state set=0 remove=0 "), state)
    expect(s.hosts() == ORIGINAL_HOSTS, "hosts unchanged")
    expect(s.proxy_raw() == proxy, f"proxy unchanged: {s.proxy_raw()} after {proxy}")


def test_unreadable_proxy_list_is_told_at_opening(s):
    # A number where the list should be: neither action can be offered.
    s.drive("proxy#1")
    s.set_hosts(ORIGINAL_HOSTS)
    proxy = s.proxy_raw()
    with s.running(EXIT_FAILED):
        box, icon, state = s.drive("wait", "box", "icon", "ok", "state", "click:2", "gone")[:3]
        text = box[len("box "):].split("|")[1]
        expect("ProxyOverride" in text and text.startswith("HKEY_CURRENT_USER\\"), text)
        expect(icon == "icon stop", icon)
        expect(state.startswith("state set=0 remove=0 "), state)
    expect(s.hosts() == ORIGINAL_HOSTS, "hosts unchanged")
    expect(s.proxy_raw() == proxy, "proxy unchanged")


def test_read_only_hosts_is_refused_and_stays_read_only(s):
    # Root under wine may write it; the tool leaves it alone all the same.
    s.drive("proxy=intranet.test;<local>")
    s.set_hosts(ORIGINAL_HOSTS)
    proxy = s.proxy_raw()
    s.drive("attrs=1")
    try:
        with s.running(EXIT_FAILED):
            box, icon, state = s.drive("wait", "click:1000", "box", "icon", "ok", "state", "click:2", "gone")[:3]
            text = box[len("box "):].split("|")[1]
            expect(text.lower() == HOSTS_WINDOWS_PATH.lower() + READ_ONLY_TOLD, text)
            expect(icon == "icon stop", icon)
            expect(state.startswith("state set=0 remove=0 "), state)
        attributes = s.drive("attrs?")[0]
        expect(int(attributes.split()[1], 16) & 1, f"still read-only: {attributes}")
    finally:
        s.drive("attrs=80")
    expect(s.hosts() == ORIGINAL_HOSTS, "hosts unchanged")
    expect(s.proxy_raw() == proxy, "proxy unchanged")


def test_linked_hosts_is_updated_where_it_leads(s):
    s.drive("proxy-")
    managed = os.path.join(s.prefix, "drive_c", "managed-hosts.txt")
    with open(managed, "wb") as f:
        f.write(ORIGINAL_HOSTS)
    link = s.hosts_path()
    os.remove(link)
    os.symlink(managed, link)
    try:
        with s.running(EXIT_COMPLETED):
            s.drive("wait", "click:1000", "box", "ok", "gone")
        expect(os.path.islink(link), "the link stays a link")
        with open(managed, "rb") as f:
            updated = f.read()
        expect(updated.startswith(ORIGINAL_HOSTS) and updated.count(b"\r\n") == 33, f"{len(updated)} bytes")
        expect([n for n in os.listdir(s.etc) if n.lower().endswith(".tmp")] == [], "nothing left beside")
    finally:
        os.remove(link)
        os.remove(managed)
        s.set_hosts(ORIGINAL_HOSTS)


def managed_lines(s, rows=None):
    lines = [line.split()[1:] for line in s.drive("managed")]
    return b"".join(f"{a}\t\t{n}\r\n".encode() for i, (a, n) in enumerate(lines) if rows is None or i in rows)


def test_command_line(s):
    """(arguments, starting state) -> (status, hosts, ProxyOverride, output)."""
    managed = managed_lines(s)
    gaps = managed_lines(s, set(range(31)) - {0, 16, 30})
    first = managed.split(b"\r\n")[0]
    commented = b"#" + first.replace(b"\t\t", b" ") + b"\r\n" + managed_lines(s, set(range(1, 31)))
    users = "intranet.test;<local>"
    joined = s.joined + ";" + users
    names = [line.split()[2] for line in s.drive("managed")]
    ordinary, full = (ORIGINAL_HOSTS, users), (ORIGINAL_HOSTS + managed, joined)
    # arguments, before, after (None: as before), status, standard output, error; a box's text when not quiet
    rows = [
        (["/check", "/quiet"], ordinary, None, EXIT_NOTHING_CHANGED, "", 31 + 7, None),
        (["/set", "/quiet"], ordinary, full, EXIT_COMPLETED, SET_DONE, 0, None),
        (["/set", "/quiet"], full, None, EXIT_COMPLETED, SET_DONE, 0, None),
        (["/check", "/quiet"], full, None, EXIT_COMPLETED, CHECK_IN_PLACE, 0, None),
        (["/check", "/quiet"], (ORIGINAL_HOSTS + gaps, joined), None, EXIT_NOTHING_CHANGED, "", 3, None),
        (["/set", "/quiet"], (ORIGINAL_HOSTS + gaps, joined),
         (ORIGINAL_HOSTS + gaps + managed_lines(s, {0, 16, 30}), joined), EXIT_COMPLETED, SET_DONE, 0, None),
        (["/check", "/quiet"], (ORIGINAL_HOSTS + commented, joined), None, EXIT_COMPLETED, CHECK_IN_PLACE, 0, None),
        (["/set", "/quiet"], (ORIGINAL_HOSTS + commented, joined), None, EXIT_COMPLETED, SET_DONE, 0, None),
        (["/remove", "/quiet", "/machine"], full, (ORIGINAL_HOSTS, joined), EXIT_COMPLETED, REMOVE_DONE, 0, None),
        (["-SET", "-User", "-Quiet"], ordinary, (ORIGINAL_HOSTS, joined), EXIT_COMPLETED, SET_DONE, 0, None),
        (["/check", "/quiet", "/user"], ordinary, None, EXIT_NOTHING_CHANGED, "", 7, None),
        (["/remove", "/quiet"], full, ordinary, EXIT_COMPLETED, REMOVE_DONE, 0, None),
        (["/set", "/bogus"], ordinary, None, EXIT_USAGE, "", 19, None),
        (["/?"], ordinary, None, EXIT_COMPLETED, "使い方: ", 0, None),
        (["/set"], ordinary, full, EXIT_COMPLETED, SET_DONE, 0, SET_DONE),
        (["/check"], full, None, EXIT_COMPLETED, CHECK_IN_PLACE, 0, CHECK_IN_PLACE),
        (["/remove"], full, ordinary, EXIT_COMPLETED, REMOVE_DONE, 0, REMOVE_DONE),
    ]
    for arguments, before, after, status, out, errors, box in rows:
        what = " ".join(arguments) + f" on {len(before[0])} bytes of hosts, {before[1]!r}"
        after = after or before
        s.set_hosts(before[0])
        s.drive("proxy=" + before[1])
        got, stdout, stderr, shown, dialog = s.command(*arguments, box=box is not None)
        expect(got == status, f"{what}: status {got}, not {status}")
        expect(s.hosts() == after[0], f"{what}: hosts {s.hosts()!r}")
        expect(s.proxy() == after[1], f"{what}: proxy {s.proxy()!r}")
        expect(stdout.startswith(out) and (out or not stdout), f"{what}: output {stdout!r}")
        expect(len(stderr.splitlines()) == errors, f"{what}: errors {stderr!r}")
        expect(shown == box and dialog == (box is not None), f"{what}: box {shown!r}, dialog built {dialog}")
    # What /check names: the three host names gone, then each exception.
    s.set_hosts(ORIGINAL_HOSTS + gaps)
    s.drive("proxy=" + joined)
    stderr = s.command("/check", "/quiet")[2]
    expect([l.split(" に ")[1].split(" ")[0] for l in stderr.splitlines()] == [names[0], names[16], names[30]], stderr)


def connection_bytes(version, bypass, bypass_length=None):
    """A per-connection value of `version`: flags direct and proxy, a server, `bypass` (under its own length or
    the one given), no auto-config URL, and 32 bytes after."""
    server, text = b"proxy.school.example:8080", bypass.encode("cp932")
    length = len(text) if bypass_length is None else bypass_length
    return struct.pack("<4I", version, 7, 3, len(server)) + server + struct.pack("<I", length) + text + bytes(36)


def bypass_field(data):
    """Where a per-connection value's bypass list lies: the offset of its length, and its end."""
    at = 16 + struct.unpack_from("<I", data, 12)[0]
    return at, at + 4 + struct.unpack_from("<I", data, at)[0]


def bypass_of(data):
    start, end = bypass_field(data)
    return data[start + 4:end].decode("cp932")


def described(data):
    """A per-connection value in short, for a failure's message."""
    return "missing" if data is None else f"{len(data)} bytes, counter {data[4]}, list {bypass_of(data)!r}"


def with_bypass(data, bypass):
    """`data` as an action leaves it that writes `bypass`: the counter one up, every other byte as it was."""
    start, end = bypass_field(data)
    text = bypass.encode("cp932")
    counter = struct.unpack_from("<I", data, 4)[0]
    return data[:4] + struct.pack("<I", counter + 1) + data[8:start] + struct.pack("<I", len(text)) + text + data[end:]


def test_exceptions_in_force_for_programs(s):
    """The exception list as programs go by it, from the proxy settings as Windows' Internet Options leaves
    them (a proxy server; one list in the text value and in both per-connection values). Under wine, WinHTTP,
    which browsers and .NET ask, reads DefaultConnectionSettings, and WinINet the text value. An action
    changes a per-connection value in its list alone, its counter one up, or does not write it; /check judges
    every value; one the tool cannot read is refused and named, every value left as it was."""
    old = "old.school.example;<local>"
    joined = s.joined + ";" + old
    names = [PROXY_WINDOWS_NAME] + [CONNECTIONS_WINDOWS_KEY + value for value in CONNECTION_VALUES]
    windows, user_set = f"ieproxy={old}", ["/set", "/user", "/quiet"]
    dialog_set = ["wait", "click:1000", "box", "ok", "gone"]
    lacking = [f"{name} に {e} がありません。" for name in names[1:] for e in s.joined.split(";")]
    stored = lambda data: f"connection={CONNECTION_VALUES[0]}:{data.hex()}"
    # what, the driver's commands to start from, the tool's arguments (or the driver's commands at its dialog),
    # status, the list every value then holds (None: every byte as it was), what WinHTTP and WinINet then
    # report, what standard error names, what the log says became of the values written
    rows = [
        ("/set /user", [windows], user_set, EXIT_COMPLETED, joined, (joined, joined), [], "changed"),
        ("/remove /user", [f"ieproxy={joined}"], ["/remove", "/user", "/quiet"], EXIT_COMPLETED, old, (old, old), [],
         "changed"),
        ("the dialog's Set", [windows], dialog_set, EXIT_COMPLETED, joined, (joined, joined), [], "changed"),
        ("/check, the text value alone holding them", [windows, f"proxy={joined}"], ["/check", "/quiet", "/user"],
         EXIT_NOTHING_CHANGED, None, (old, joined), lacking, None),
        ("/set, the text value alone holding them", [windows, f"proxy={joined}"], user_set, EXIT_COMPLETED, joined,
         (joined, joined), [], "changed"),
        ("a failed hosts replace", [windows], ["hold", *dialog_set[:4], "click:2", "gone"], EXIT_FAILED, None,
         (old, old), [], "put back"),
        ("a value of version 0x99", [windows, stored(connection_bytes(0x99, old))], user_set, EXIT_FAILED, None, None,
         [names[1]], None),
        ("lengths past the end", [windows, stored(connection_bytes(0x46, old, 0x1000))], user_set, EXIT_FAILED, None,
         None, [names[1]], None),
    ]
    failures = []
    try:
        for what, start, arguments, status, bypass, in_force, told, logged in rows:
            try:
                s.set_hosts(ORIGINAL_HOSTS)
                s.drive(*start)
                before = [s.proxy_raw()] + [s.connection(value) for value in CONNECTION_VALUES]
                changed = [bypass is not None and was != bypass
                           for was in [s.proxy()] + [bypass_of(data) for data in before[1:]]]
                if arguments[0].startswith("/"):
                    got, stdout, stderr, _, _ = s.command(*arguments)
                else:
                    with s.running(status):
                        s.drive(*arguments)
                    got, stdout, stderr = status, None, ""
                expect(got == status, f"status {got}, not {status}: {stderr!r}")
                # A value WinHTTP cannot parse makes it fail: it is asked only of the others.
                reported = s.in_force() if in_force else None
                expect(reported == in_force, f"WinHTTP, WinINet report {reported}")
                if bypass is None:
                    after = [s.proxy_raw()] + [s.connection(value) for value in CONNECTION_VALUES]
                    expect(after == before, f"a value changed: {after} after {before}")
                else:
                    expect(s.proxy() == bypass, f"ProxyOverride {s.proxy()!r}")
                    for value, was in zip(CONNECTION_VALUES, before[1:]):
                        want, now = with_bypass(was, bypass) if bypass_of(was) != bypass else was, s.connection(value)
                        expect(now == want, f"{value}: {described(now)}, not {described(want)}")
                lines = stderr.lower().splitlines()
                expect(len(lines) == len(told) and all(any(t.lower() in line for line in lines) for t in told),
                       f"told {stderr!r}")
                for name, did in zip(names, changed):
                    if stdout is not None and status == EXIT_COMPLETED:
                        line = name + (TARGET_CHANGED if did else TARGET_UNCHANGED)
                        expect(line.lower() in stdout.lower().splitlines(), f"{name}: output {stdout!r}")
                    state = "unchanged" if logged == "changed" and not did else logged
                    expect(not logged or f"\ttarget={name}: {state}".lower() in s.log_lines()[-1].lower(),
                           f"{name}: logged {s.log_lines()[-1]!r}")
            except Exception as error:  # every row's fault told at once
                failures.append(f"{what}: {error}")
    finally:
        s.drive("ieproxy-")
    expect(not failures, "\n  ".join(failures))


def test_no_desktop(s):
    """Started by a service in a window station nobody sees: the dialog ends
    at once, told by its status and the log; a verb without /quiet shows no
    box there either."""
    s.drive("proxy=intranet.test;<local>")
    s.set_hosts(ORIGINAL_HOSTS)
    exe = '"Z:' + os.path.abspath(s.args.exe).replace("/", "\\") + '"'
    # The tool's own output comes through the driver's: its status is the last line.
    expect(s.drive("station:" + exe)[-1] == f"exit {EXIT_NO_DESKTOP}", "dialog unseen")
    line = s.log_lines()[-1]
    expect("\tverb=dialog\t" in line and f"\tstatus={EXIT_NO_DESKTOP}" in line, line)
    expect(s.drive("station:" + exe + " /check")[-1] == f"exit {EXIT_NOTHING_CHANGED}", "check unseen")
    expect(s.hosts() == ORIGINAL_HOSTS and s.proxy() == "intranet.test;<local>", "nothing changed")


def test_log_and_events(s):
    """Every command-line run leaves one line, in the usual log or the one
    named; the Application log gets it too, and its text still reads once
    the executable is gone. The dialog closed without an action writes
    nothing at all: no folder, no message file, no event source."""
    s.drive("proxy=intranet.test;<local>")
    s.set_hosts(ORIGINAL_HOSTS)
    shutil.rmtree(os.path.join(s.prefix, os.path.dirname(LOG)), ignore_errors=True)
    s.drive("source-")
    with s.running(EXIT_NOTHING_CHANGED):
        s.drive("wait", "click:2", "gone")
    expect(not os.path.exists(os.path.join(s.prefix, os.path.dirname(LOG))), "Cancel made the tool's folder")
    expect(s.drive("source?") == ["source <missing>"], "Cancel registered the event source")
    s.command("/check", "/quiet", "/machine")
    lines = s.log_lines()
    expect(len(lines) == 1, lines)
    fields = dict(f.split("=", 1) for f in lines[0].split("\t")[1:])
    expect(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d", lines[0].split("\t")[0]), lines[0])
    expect(fields["version"] == "3.2.0.0" and fields["arch"] == "x64" and fields["account"], fields)
    expect((fields["verb"], fields["scope"], fields["status"]) == ("check", "machine", "1"), fields)
    expect(fields["target"].lower().startswith(HOSTS_WINDOWS_PATH.lower() + ": lacks "), fields)
    before = len(lines)
    # Another file by /log, from a copy of the executable that is then deleted.
    copy = os.path.join(s.prefix, "drive_c", "copy.exe")
    shutil.copyfile(s.args.exe, copy)
    named = os.path.join(s.prefix, "drive_c", "named.log")
    if os.path.exists(named):
        os.remove(named)
    s.command("/set", "/quiet", "/log:C:\\named.log", exe=copy)
    os.remove(copy)
    expect(len(s.log_lines()) == before, "not in the usual log")
    line = open(named, "rb").read().decode("cp932")
    expect(line.count("\r\n") == 1 and "\tverb=set\tscope=both\ttarget=" in line and "\tstatus=0\t" in line, line)
    # Event Viewer's text of every event id the guide names: the line, whole.
    ids = [1000 + status for status in (0, 1, 2, 3, 4, 5, 6, EXIT_PARTLY, EXIT_BUSY)]
    expect(s.drive(*[f"eventtext:{i}" for i in ids]) == ["eventtext probe line"] * len(ids), "event texts")
    # The lock goes with the run that held it.
    folder = os.path.join(s.prefix, os.path.dirname(LOG))
    expect("OrvaneSetup.lock" not in os.listdir(folder), f"a lock file stayed: {os.listdir(folder)}")
    # A user reading the message file, sharing nothing, keeps the source from nobody.
    source = ["source C:\\ProgramData\\Orvane\\OrvaneSetupEvents.dll"]
    expect(s.drive("source?") == source, s.drive("source?"))
    exe = '"Z:' + os.path.abspath(s.args.exe).replace("/", "\\") + '"'
    held = s.drive("held:" + source[0][len("source "):], "station:" + exe + " /check /machine /quiet")
    expect(held[-1] == f"exit {EXIT_COMPLETED}", held)
    expect(s.drive("source?") == source, f"the message file held: {s.drive('source?')}")
def test_libraries_beside_the_executable_are_never_loaded(s):
    # Anyone may put a DLL named as a system one beside the executable (a
    # download folder, a share); the loader prefers it to wine's builtin one
    # where Windows would, and it would run with the tool's rights.
    built = os.path.dirname(os.path.abspath(s.args.driver))
    folder = os.path.join(built, "planted")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    names = {"wininet.dll", "wtsapi32.dll"}
    for name in names:
        shutil.copyfile(os.path.join(built, "e2e_planted.dll"), os.path.join(folder, name))
    exe = os.path.join(folder, os.path.basename(s.args.exe))
    shutil.copyfile(s.args.exe, exe)
    probe = os.path.join(folder, "probe.exe")
    shutil.copyfile(s.args.driver, probe)
    log = os.path.join(folder, "planted.log")

    def loaded():
        """The planted libraries that a process loaded since the last call."""
        if not os.path.exists(log):
            return set()
        with open(log, encoding="ascii") as f:
            paths = f.read().split()
        os.remove(log)
        return {path.split("\\")[-1].lower() for path in paths}

    saved = os.environ.get("WINE_RUN_OVERRIDES")
    os.environ["WINE_RUN_OVERRIDES"] = "wininet,wtsapi32=n,b"
    try:
        # The trap works: a load by bare name from that folder takes them.
        probed = s.wine(probe, *(f"load:{name}" for name in sorted(names)))
        expect(loaded() == names, f"the probe did not load the planted libraries: {probed.stdout}")
        s.drive("proxy-")
        s.set_hosts(ORIGINAL_HOSTS)
        for button in (1000, 1001):
            with s.running(EXIT_COMPLETED, exe):
                s.drive("wait", f"click:{button}", "box", "ok", "gone")
            taken = loaded()
            expect(not taken, f"button {button}: the tool loaded the planted {sorted(taken)}")
        expect(s.hosts() == ORIGINAL_HOSTS and s.proxy() == "--NULLSTRING--", "set and removed")
    finally:
        if saved is None:
            os.environ.pop("WINE_RUN_OVERRIDES", None)
        else:
            os.environ["WINE_RUN_OVERRIDES"] = saved


def test_every_user_on_the_command_line(s):
    """/allusers: the prefix's user, whose hive wine has loaded, and a
    Default profile's hive file, which the tool loads and unloads; the
    hosts file with them. Wine 8.0 drops what is written to a hive loaded
    this way when it is unloaded: that the Default profile's list keeps the
    exceptions is proved natively, not here."""
    changed = " を変更しました。"  # after an action, each setting as named
    proxy_override = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride"
    users = "intranet.test;<local>"
    user_list = "HKEY_USERS\\S-1-5-21-0-0-0-1000\\" + proxy_override  # the prefix's user, as wine names it
    default_folder = "C:\\users\\Default"
    default_list = default_folder + "\\NTUSER.DAT\\" + proxy_override
    s.set_hosts(ORIGINAL_HOSTS)
    s.drive("proxy=" + users, f"defaultprofile={default_folder}")
    try:
        status, stdout, stderr, _, dialog = s.command("/set", "/allusers", "/quiet")
        expect(status == EXIT_COMPLETED and not dialog and stderr == "", f"status {status}: {stderr!r}")
        expect(s.hosts() == ORIGINAL_HOSTS + managed_lines(s), "hosts set")
        expect(s.proxy() == s.joined + ";" + users, f"proxy {s.proxy()!r}")
        told = stdout.splitlines()
        expect(told[0] == SET_DONE, told)
        for name in (HOSTS_WINDOWS_PATH, user_list, default_list):
            expect(any(line.lower() == (name + changed).lower() for line in told[1:]), f"{name}: {told}")
        line = s.log_lines()[-1]
        expect("\tverb=set\tscope=both\tusers=all\t" in line, line)
        for name in (user_list, default_list):
            expect(f"\ttarget={name}: changed\t".lower() in line.lower(), f"{name}: {line}")
        hives = s.drive("hives?")[0].split()[1:]
        expect(not [h for h in hives if h.startswith("OrvaneSetup.")], f"a hive left loaded: {hives}")
        status, stdout, _, _, _ = s.command("/remove", "/allusers", "/quiet")
        expect(status == EXIT_COMPLETED and stdout.startswith(REMOVE_DONE), f"status {status}: {stdout!r}")
        expect(s.hosts() == ORIGINAL_HOSTS and s.proxy() == users, "removed")
        # A profile listed whose folder is gone is skipped; one whose list is
        # a number is left as it is and named, and stops nobody else.
        s.drive("staleprofile+", f"defaultprofile#={default_folder}")
        status, stdout, stderr, _, _ = s.command("/set", "/allusers", "/quiet")
        expect(status == EXIT_PARTLY, f"status {status}: {stderr!r}")
        expect(s.hosts() == ORIGINAL_HOSTS + managed_lines(s) and s.proxy() == s.joined + ";" + users, "the others set")
        expect(stderr.strip().lower() == (default_list + " は文字列値ではないため、読み取れません。").lower(), stderr)
        line = s.log_lines()[-1]
        expect(f"\ttarget={default_list}: left as it was: not text, error 13\t".lower() in line.lower(), line)
        expect("\\S-1-5-21-0-0-0-4242: no profile on disk\t" in line, line)
        s.drive("defaultprofile-")
        status = s.command("/remove", "/allusers", "/quiet")[0]
        expect(status == EXIT_COMPLETED and s.hosts() == ORIGINAL_HOSTS, f"a stale profile alone: status {status}")
    finally:
        s.drive("defaultprofile-", "staleprofile-")


def test_per_machine_policy(s):
    """Where the policy makes proxy settings per machine, the machine's lists
    (the one 64-bit programs read and the one 32-bit programs read) are the
    ones the command line (with or without /allusers) and the dialog read and
    write, and the ones named; the user's stays as it is."""
    machine_list = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ProxyOverride"
    told = [(machine_list + t).lower() for t in (" を変更しました。", " は変更の必要がありませんでした。")]
    s.set_hosts(ORIGINAL_HOSTS)
    s.drive("policy=0", "machineproxy=machine.test", "machineproxy32=machine32.test", "proxy=user.test")
    try:
        for arguments in (["/set", "/quiet"], ["/set", "/allusers", "/quiet", "/user"]):
            status, stdout, _, _, _ = s.command(*arguments)
            expect(status == EXIT_COMPLETED, f"{arguments}: status {status}")
            expect(s.drive("machineproxy?")[0] == f"machineproxy {s.joined};machine.test", arguments)
            expect(s.drive("machineproxy32?")[0] == f"machineproxy32 {s.joined};machine32.test", arguments)
            expect(s.proxy() == "user.test", f"{arguments}: the user's list {s.proxy()!r}")
            expect(any(line.lower() in told for line in stdout.splitlines()), f"{arguments}: {stdout!r}")
            expect(f"\ttarget={machine_list}: ".lower() in s.log_lines()[-1].lower(), s.log_lines()[-1])
        expect(s.hosts() == ORIGINAL_HOSTS + managed_lines(s), "hosts set")
        # The dialog offers what the machine's list calls for.
        with s.running(EXIT_COMPLETED):
            lines = s.drive("wait", "state", "click:1001", "box", "ok", "gone")
            expect(lines[0] == "state set=0 remove=1 focus=2", lines[0])
            expect(lines[1].split("|")[1] == REMOVE_DONE, lines[1])
        expect(s.drive("machineproxy?", "machineproxy32?") == ["machineproxy machine.test", "machineproxy32 machine32.test"],
               "the machine's lists put back")
        expect(s.proxy() == "user.test" and s.hosts() == ORIGINAL_HOSTS, "user's list and hosts")
        s.drive("policy-", f"machineproxy={s.joined};machine.test")
        with s.running(EXIT_NOTHING_CHANGED):
            state = s.drive("wait", "state", "click:2", "gone")[0]
            expect(state == "state set=1 remove=0 focus=2", f"policy off: {state}")
    finally:
        s.drive("policy-", "machineproxy-", "machineproxy32-")


def test_every_refusal_says_why(s):
    """Each file and value the tool refuses, from the command line (no
    window under /quiet, else the box; the log line with the text and the
    error) and in the dialog (at opening, or when the button is pressed): the
    text that says why, naming the file or the value; the error status
    (/check: cannot tell, or what it finds where it can still read); both
    settings and the file's attributes as before."""
    users = "intranet.test;<local>"
    utf16 = "\ufeff# hosts of this PC\r\n127.0.0.1\tlocalhost\r\n".encode("utf-16-le")
    hangul = "\ud55c\uad6d.test;<local>".encode("utf-16-le") + b"\0\0"
    read_only_key = "D:P(A;;KR;;;WD)"
    # what, hosts, attributes, the driver's commands for the value, the key's access list (None: as it is),
    # the text after the name, the setting it names, when the dialog tells it, /check's status
    rows = [
        ("a hosts file in UTF-16", utf16, 0x80, ["proxy=" + users], None,
         " はUTF-16で保存されているため、処理できません。", HOSTS_WINDOWS_PATH, "button", EXIT_CANNOT_TELL),
        ("lines after a Ctrl-Z", ORIGINAL_HOSTS + b"\x1a10.0.0.9\thidden.test\r\n", 0x80, ["proxy=" + users], None,
         " はCtrl-Z(ﾌｧｲﾙの終わり)の後にも行があるため、処理できません。", HOSTS_WINDOWS_PATH, "button", EXIT_CANNOT_TELL),
        ("a read-only hosts file", ORIGINAL_HOSTS, 0x1, ["proxy=" + users], None,
         READ_ONLY_TOLD, HOSTS_WINDOWS_PATH, "button", EXIT_NOTHING_CHANGED),
        ("a value that is no text", ORIGINAL_HOSTS, 0x80, ["proxy#1"], None,
         " は文字列値ではないため、読み取れません。", PROXY_WINDOWS_NAME, "opening", EXIT_CANNOT_TELL),
        ("a value the code page cannot hold", ORIGINAL_HOSTS, 0x80, ["proxyraw=1:" + hangul.hex()], None,
         " にｼｽﾃﾑの文字ｺｰﾄﾞで表せない文字があるため、読み取れません。", PROXY_WINDOWS_NAME, "opening", EXIT_CANNOT_TELL),
        ("a key the user may read but not change", ORIGINAL_HOSTS, 0x80, ["proxy=" + users], read_only_key,
         " を変更する権限がありません。", PROXY_WINDOWS_NAME, "opening", EXIT_NOTHING_CHANGED),
    ]
    key_access = s.drive("proxykey?")[0][len("proxykey "):]
    for what, hosts, attributes, value, access, told, named, when, check in rows:
        s.set_hosts(hosts)
        s.drive(*value, f"attrs={attributes:X}", *([f"proxykey={access}"] if access else []))
        before = (s.hosts(), s.proxy_raw(), s.drive("attrs?")[0])
        want = (named + told).lower()
        try:
            status, stdout, stderr, _, dialog = s.command("/set", "/quiet")
            expect(status == EXIT_FAILED and stdout == "" and not dialog, f"{what}: /set {status}, {stdout!r}, {dialog}")
            expect(stderr.strip().lower() == want, f"{what}: /set told {stderr!r}")
            line = s.log_lines()[-1].lower()
            expect(f"\tstatus=2\tmessage={want}" in line and (attributes != 1 or "\terror=5\t" in line), line)
            if attributes == 1:  # without /quiet, in the dialog's box
                expect((s.command("/set", box=True)[3] or "").lower() == want, f"{what}: no box")
            status = s.command("/check", "/quiet")[0]
            expect(status == check, f"{what}: /check status {status}, not {check}")
            with s.running(EXIT_FAILED):
                clicks = ["click:1000"] if when == "button" else []
                box, state = s.drive("wait", *clicks, "box", "ok", "state", "click:2", "gone")[:2]
                text = box[len("box "):].split("|")[1]
                expect(text.lower() == want, f"{what}: the dialog told {text!r}")
                expect(state.startswith("state set=0 remove=0 "), f"{what}: {state}")
            expect((s.hosts(), s.proxy_raw(), s.drive("attrs?")[0]) == before, f"{what}: a setting changed")
        finally:
            s.drive(*([f"proxykey={key_access}"] if access else []), "attrs=80")


def test_nothing_a_pupil_made_is_followed_renamed_or_written(s):
    """What any user may make before a run that deployment starts (the
    tool's folder as a link, hard links under the names of the log, of the
    message file and of a /log: file, the log as a link to a large file, an
    object under the name of the lock of the versions before): the run
    writes, renames and cuts short none of it and tells its event so; a
    /log: file it refuses ends the run with the usage status, nothing
    changed."""
    drive_c = os.path.join(s.prefix, "drive_c")
    folder = os.path.join(s.prefix, os.path.dirname(LOG))
    linked = os.path.join(drive_c, "windows", "Temp", "linked")
    # Stands for any file that SYSTEM may write and a pupil may not.
    system = os.path.join(drive_c, "windows", "system32", "pupil-target.dat")
    large = b"S" * (1024 * 1024 + 1)
    named_log = os.path.join(drive_c, "windows", "Temp", "setup.log")
    windows_folder = "C:\\ProgramData\\Orvane"
    users = "intranet.test;<local>"
    check, refused_log = ["/check", "/machine", "/quiet"], ["/set", "/quiet", "/log:C:\\windows\\Temp\\setup.log"]
    # what, what the pupil makes, arguments, status, how the event starts
    rows = [
        ("the folder as a link", lambda: os.symlink(linked, folder), check, EXIT_NOTHING_CHANGED,
         f"folder={windows_folder}: a link\t"),
        ("a hard link named as the log", lambda: os.link(system, os.path.join(folder, "OrvaneSetup.log")), check,
         EXIT_NOTHING_CHANGED, f"log={windows_folder}\\OrvaneSetup.log: several names\t"),
        ("the log as a link to a large file", lambda: os.symlink(system, os.path.join(folder, "OrvaneSetup.log")),
         check, EXIT_NOTHING_CHANGED, f"log={windows_folder}\\OrvaneSetup.log: a link\t"),
        ("a hard link named as the message file",
         lambda: os.link(system, os.path.join(folder, "OrvaneSetupEvents.dll")), check, EXIT_NOTHING_CHANGED, ""),
        ("a /log: file that is a hard link", lambda: os.link(system, named_log), refused_log, EXIT_USAGE, ""),
    ]
    s.set_hosts(ORIGINAL_HOSTS)
    s.drive("proxy=" + users)
    try:
        for what, plant, arguments, status, event in rows:
            shutil.rmtree(folder, ignore_errors=True)
            shutil.rmtree(linked, ignore_errors=True)
            for path in (folder, named_log):
                if os.path.lexists(path):
                    os.remove(path)
            os.makedirs(linked)
            if "folder" not in what:
                os.makedirs(folder)
            with open(system, "wb") as f:
                f.write(large)
            plant()
            got, _, stderr, _, _ = s.command(*arguments)
            expect(got == status, f"{what}: status {got}, not {status}: {stderr!r}")
            expect(open(system, "rb").read() == large, f"{what}: the file it leads to was written")
            expect(os.listdir(linked) == [], f"{what}: written through the link: {os.listdir(linked)}")
            expect(not [n for n in os.listdir(os.path.dirname(system)) if n.startswith("pupil-target.")
                        and n != "pupil-target.dat"], f"{what}: renamed")
            expect(not os.path.lexists(os.path.join(folder, "OrvaneSetup.old.log")), f"{what}: the planted log renamed")
            expect((s.event or "").startswith(event), f"{what}: the event {s.event!r}")
            if "message file" in what:
                expect(s.drive("source?") == ["source <missing>"], f"{what}: {s.drive('source?')}")
            if status == EXIT_USAGE:
                expect(stderr.strip() == "C:\\windows\\Temp\\setup.log には別の名前(ﾊｰﾄﾞ ﾘﾝｸ)もあるため、ﾛｸﾞに使えません。",
                       f"{what}: told {stderr!r}")
                expect(s.hosts() == ORIGINAL_HOSTS and s.proxy() == users, f"{what}: a setting changed")
        # A squatter holding the lock's old name blocks nobody.
        exe = '"Z:' + os.path.abspath(s.args.exe).replace("/", "\\") + '"'
        expect(s.drive("squat", "station:" + exe + " /set /quiet")[-1] == f"exit {EXIT_COMPLETED}", "the squatter blocked")
        expect(s.hosts() == ORIGINAL_HOSTS + managed_lines(s), "set beside the squatter")
        # Nor with the tool's folder a link: the lock is then in the hosts
        # file's folder, and goes with the run.
        shutil.rmtree(folder, ignore_errors=True)
        os.symlink(linked, folder)
        got = s.drive("squat", "station:" + exe + " /remove /quiet")[-1]
        expect(got == f"exit {EXIT_COMPLETED}", f"the squatter blocked beside a linked folder: {got}")
        expect(s.hosts() == ORIGINAL_HOSTS, "removed beside the squatter")
        expect("OrvaneSetup.lock" not in os.listdir(s.etc), f"a lock file stayed: {os.listdir(s.etc)}")
    finally:
        for path in (folder, named_log, system):
            if os.path.islink(path) or os.path.isfile(path):
                os.remove(path)
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(linked, ignore_errors=True)
        s.command("/remove", "/quiet")


def test_no_user_stops_an_unattended_run(s):
    """What any user may do against a run for every user: close their own
    hive's key to it (they own its access list), or hold the hosts file open
    for a while. The run goes on and ends done, or done but for that user's
    list, which is then as it was; never with an error, never split."""
    sid = "S-1-5-21-0-0-0-1000"  # the prefix's user, who is also the run's account under wine
    users = "intranet.test;<local>"
    full = ORIGINAL_HOSTS + managed_lines(s)
    s.set_hosts(ORIGINAL_HOSTS)
    s.drive("proxy=" + users)
    own = s.drive("userkey?")[0][len("userkey "):]
    try:
        s.drive(f"userkey=D:(D;;KA;;;{sid})(A;;KA;;;SY)(A;;KA;;;BA)")
        status, _, stderr, _, _ = s.command("/set", "/allusers", "/quiet")
    finally:
        s.drive("userkey=" + own)
    expect(status in (EXIT_COMPLETED, EXIT_PARTLY), f"a closed hive key: status {status}: {stderr!r}")
    expect(s.hosts() == full, "a closed hive key: the hosts file not set")
    expect(s.proxy() == (users if status == EXIT_PARTLY else s.joined + ";" + users), f"proxy {s.proxy()!r}")
    s.command("/remove", "/allusers", "/quiet")
    s.set_hosts(ORIGINAL_HOSTS)
    holder = subprocess.Popen([s.args.wine_run, s.prefix, s.args.driver, "hostsheld:20000"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(5)  # the holder's start
        expect(holder.poll() is None, "the holder ended early")
        status, _, stderr, _, _ = s.command("/set", "/quiet")
        expect(status in (EXIT_COMPLETED, EXIT_BUSY), f"a held hosts file: status {status}: {stderr!r}")
        expect((s.hosts(), s.proxy()) == ((full, s.joined + ";" + users) if status == EXIT_COMPLETED
                                          else (ORIGINAL_HOSTS, users)), "a held hosts file: the settings split")
    finally:
        holder.wait(timeout=60)
        s.command("/remove", "/quiet")


def test_windows_installer_package(s):
    """The package as Group Policy, Intune or Configuration Manager install
    it (msiexec /qn, deferred actions as the system): the install sets both
    settings, the executable in Program Files; the same package again changes
    nothing; the uninstall takes the settings and the files away. A
    profile's list that the tool leaves as it was (a number, before the
    install or made so before the uninstall) stops neither, and the
    installer's log names it. A per-user install is refused. A read-only
    hosts file fails the install, and so does an action after the settings'
    (a test's own package): the rollback leaves the hosts file and the list
    exactly as they were, settings in place before included, and nothing
    installed."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
    import make_dist  # noqa: E402  the version and publisher as a release names them
    from make_msi import code  # noqa: E402
    built = os.path.dirname(os.path.abspath(s.args.driver))
    readme = os.path.join(built, "e2e-readme.txt")
    with open(readme, "wb") as f:
        f.write(b"readme\r\n")

    def package(name, *options):
        path = os.path.join(built, name)
        subprocess.run([sys.executable, os.path.join(os.path.dirname(make_dist.__file__), "make_msi.py"), path, "x64",
                        s.args.exe, s.args.action, readme, make_dist.version(), make_dist.publisher(), *options],
                       check=True, capture_output=True)
        return '"Z:' + path.replace("/", "\\") + '"'

    plain, failing = package("e2e-package.msi"), package("e2e-failing.msi", "--failing-action")
    installer_log = os.path.join(s.prefix, "drive_c", "e2e-msi.log")

    def msiexec(verb, target=plain, extra=""):
        """The status; the installer's verbose log in `installer_log`."""
        if os.path.exists(installer_log):
            os.remove(installer_log)
        return s.batch(f"msiexec {verb} {target} {extra}/qn /l*v C:\\e2e-msi.log")

    def installer_logged():
        """The log's text in lower case, each line ended by a line feed (wine's end so)."""
        if not os.path.exists(installer_log):
            return ""
        return open(installer_log, "rb").read().decode("cp932", "replace").replace("\r\n", "\n").lower()

    # Programs and Features' entry of the product (wine's msiexec /x of a
    # product not installed ends with 0, not 1605).
    entry = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code("product", make_dist.version(), "x64")
    registered = lambda: s.batch(f'reg query "{entry}" >nul 2>nul') == 0
    installed = os.path.join(s.prefix, "drive_c", "Program Files", "Orvane", os.path.basename(s.args.exe))
    users = "intranet.test;<local>"
    unset, full = (ORIGINAL_HOSTS, users), (ORIGINAL_HOSTS + managed_lines(s), s.joined + ";" + users)
    default_folder = "C:\\users\\Default"
    # The tool's line that names the list it left as it was, and the action's on its status.
    left = ((default_folder + "\\NTUSER.DAT\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
             "\\ProxyOverride は文字列値ではないため、読み取れません。\n").lower(), "\nstatus 7: done except the lists named above\n")
    named = lambda: all(line in installer_logged() for line in left)
    s.set_hosts(unset[0])
    s.drive("proxy=" + unset[1])
    try:
        for what in ("install", "the same again"):
            expect(msiexec("/i") == 0, f"{what}: status")
            expect((s.hosts(), s.proxy()) == full and os.path.isfile(installed) and registered(), f"{what}: {s.proxy()!r}")
        expect(msiexec("/x") == 0, "uninstall: status")
        expect((s.hosts(), s.proxy()) == unset and not os.path.exists(installed) and not registered(), "uninstall")
        # The Default profile's list a number (the driver's "defaultprofile#="), left as it was by the tool.
        for what, before, after in (("a number before the install", "defaultprofile#=", "defaultprofile#="),
                                    ("made a number after the install", "defaultprofile=", "defaultprofile#=")):
            s.drive(before + default_folder)
            expect(msiexec("/i") == 0, f"{what}: the install's status")
            expect((s.hosts(), s.proxy()) == full and os.path.isfile(installed) and registered(), f"{what}: installed")
            expect(named() == (before == after), f"{what}: the install's log")
            s.drive(after + default_folder)
            expect(msiexec("/x") == 0, f"{what}: the uninstall's status")
            expect((s.hosts(), s.proxy()) == unset and not os.path.exists(installed) and not registered(),
                   f"{what}: uninstalled")
            expect(named(), f"{what}: the uninstall's log names the profile")
        s.drive("defaultprofile-")
        expect(msiexec("/i", extra='ALLUSERS="" ') == 1603, "a per-user install: status")
        expect((s.hosts(), s.proxy()) == unset and not os.path.exists(installed) and not registered(),
               "a per-user install left something")
        # A managed line in place before the install stays: the rollback puts
        # back what the run changed, not what Remove settings takes out.
        before = ORIGINAL_HOSTS + managed_lines(s, {0})
        s.set_hosts(before)
        proxy_before, logged = s.proxy_raw(), len(s.log_lines())
        expect(msiexec("/i", failing) == 1603, "a failure after the settings: the install fails")
        runs = s.log_lines()[logged:]
        expect(any("\tverb=set\t" in line and "\tstatus=0\t" in line for line in runs), f"no settings made: {runs}")
        expect(s.hosts() == before and s.proxy_raw() == proxy_before, f"not rolled back: {s.hosts()!r} {s.proxy_raw()}")
        expect(not os.path.exists(installed) and not registered(), "a failure after the settings left the product")
        s.set_hosts(unset[0])
        s.drive("attrs=1")
        expect(msiexec("/i") == 1603, "a read-only hosts file: the install fails")
        expect(not os.path.exists(installed) and not registered() and (s.hosts(), s.proxy()) == unset,
               "a failed install left something")
    finally:
        s.drive("attrs=80", "defaultprofile-")
        msiexec("/x")


def explained_by_some_order(start_set, runs, final_set):
    """Whether the runs that reported done, each (action, what its log says
    became of the hosts file), can have run one after the other in some
    order, each on the state the one before left: each then reports what it
    found to do, and the last leaves `final_set`."""
    for order in itertools.permutations(runs):
        state, found = start_set, True
        for action, hosts in order:
            did = ("unchanged" if state else "added") if action == "set" else ("removed" if state else "unchanged")
            found, state = found and hosts == did, action == "set"
        if found and state == final_set:
            return True
    return False


def hosts_outcome(line):
    """'added', 'removed' or 'unchanged': what a run's log line says became
    of the hosts file."""
    told = [f.split(": ", 1)[1] for f in line.split("\t") if f.lower().startswith("target=" + HOSTS_WINDOWS_PATH.lower())]
    expect(len(told) == 1, line)
    return "added" if "lines added" in told[0] else "removed" if "lines removed" in told[0] else "unchanged"


def test_two_runs_at_once_never_split_the_settings(s):
    """Two dialogs pressed at once, again and again: both Set, and Set
    against Remove settings (the second dialog opened after the list was
    set). Whatever the order the two runs took, both settings agree at the
    end; every run reports done or busy; and the runs that report done are
    explained by one running after the other, each doing what it reports."""
    users = "intranet.test;<local>"
    unset, full = (ORIGINAL_HOSTS, users), (ORIGINAL_HOSTS + managed_lines(s), s.joined + ";" + users)
    done = {"set": SET_DONE, "remove": REMOVE_DONE}
    for round_ in range(6):
        both_set = round_ % 2 == 0
        what = f"round {round_ + 1}, " + ("Set and Set" if both_set else "Set and Remove settings")
        s.set_hosts(unset[0])
        s.drive("proxy=" + unset[1])
        logged = len(s.log_lines())
        runs = [subprocess.Popen([s.args.wine_run, s.prefix, s.args.exe],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
        try:
            if not both_set:
                s.drive("dialogs:1")
                s.set_hosts(full[0])
                s.drive("proxy=" + full[1])
            runs.append(subprocess.Popen([s.args.wine_run, s.prefix, s.args.exe],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            lines = s.drive("dialogs:2", "clickeach", "boxeach", "closeeach")
            offered = ["set" if l.endswith("set=1 remove=0") else "remove" for l in lines[:2]]
            expect(sorted(offered) == (["set", "set"] if both_set else ["remove", "set"]), f"{what}: {lines[:2]}")
            told = [l.split(" ", 2)[2] for l in lines[2:4]]
            for action, text in zip(offered, told):
                expect(text in (done[action], BUSY), f"{what}: {action} told {text!r}")
            statuses = sorted(run.wait(timeout=60) for run in runs)
            expect(statuses == sorted(EXIT_COMPLETED if t in done.values() else EXIT_BUSY for t in told),
                   f"{what}: exit statuses {statuses}")
        finally:
            for run in runs:
                if run.poll() is None:
                    run.kill()
        now = (s.hosts(), s.proxy())
        expect(now in (unset, full), f"{what}: the settings split: {len(now[0])} bytes of hosts, {now[1]!r}")
        new_lines = s.log_lines()[logged:]
        expect(len(new_lines) == 2, f"{what}: {new_lines}")
        reported = [(line.split("\tverb=dialog ")[1].split("\t")[0], hosts_outcome(line))
                    for line in new_lines if f"\tmessage={SET_DONE}" in line or f"\tmessage={REMOVE_DONE}" in line]
        expect(reported, f"{what}: no run reported done")
        expect(explained_by_some_order(not both_set, reported, now == full),
               f"{what}: {reported} do not explain the end, {'set' if now == full else 'not set'}")


def ensure_display():
    if os.environ.get("DISPLAY"):
        return None
    for number in range(90, 110):
        if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock"):
            xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", SCREEN + "x24"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.environ["DISPLAY"] = f":{number}"
            time.sleep(1)
            return xvfb
    raise RuntimeError("no free display")


def main():
    parser = argparse.ArgumentParser()
    for name in ("exe", "driver", "prefix", "wine-run", "shots"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--action", help="the package's custom action DLL (by default where the build puts it)")
    parser.add_argument("--only", help="run only the tests whose names hold this text")
    args = parser.parse_args()
    args.action = args.action or os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(args.exe))), "packaging",
                                              "action", "OrvaneSetupAction.dll")
    os.makedirs(args.shots, exist_ok=True)
    # Wine's WinINet takes these over the registry's exception list.
    for name in ("no_proxy", "NO_PROXY"):
        os.environ.pop(name, None)
    xvfb = ensure_display()
    # Our own X server has no window manager: a virtual desktop as large as
    # its screen draws the windows' frames, and the pictures show them.
    subprocess.run([os.path.join(os.path.dirname(args.wine_run), "wine-desktop.sh"), args.prefix]
                   + ([SCREEN] if xvfb else []), check=True)
    session = Session(args)
    tests = [test_set_then_remove, test_closing_changes_nothing, test_about_box_from_system_commands,
             test_locked_hosts_changes_nothing, test_blocked_replace_puts_the_proxy_list_back,
             test_unreadable_proxy_list_is_told_at_opening, test_read_only_hosts_is_refused_and_stays_read_only,
             test_linked_hosts_is_updated_where_it_leads, test_command_line, test_exceptions_in_force_for_programs,
             test_no_desktop, test_log_and_events, test_libraries_beside_the_executable_are_never_loaded,
             test_every_user_on_the_command_line, test_per_machine_policy, test_every_refusal_says_why,
             test_nothing_a_pupil_made_is_followed_renamed_or_written, test_no_user_stops_an_unattended_run,
             test_windows_installer_package,
             test_two_runs_at_once_never_split_the_settings]
    passed = failed = 0
    try:
        session.joined = session.drive("joined")[0][len("joined "):]
        for test in [t for t in tests if args.only is None or args.only in t.__name__]:
            try:
                test(session)
                passed += 1
                print(f"ok   {test.__name__}", flush=True)
            except Exception as error:  # a failed test must not stop the others
                failed += 1
                print(f"FAIL {test.__name__}: {error}", flush=True)
    finally:
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=session.prefix))
        if xvfb:
            xvfb.terminate()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
