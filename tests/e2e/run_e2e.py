#!/usr/bin/env python3
"""End-to-end tests: the real executable under wine and Xvfb, driven through
its real window by driver.exe. Prints one line per test and a closing
'N passed, N failed'."""
import argparse
import contextlib
import os
import shutil
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
EXIT_COMPLETED, EXIT_CLOSED, EXIT_FAILED = 0, 1, 2
HELP_CONTEXT = 1  # the help viewer's command for a topic by number


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
        with s.running(EXIT_CLOSED):
            s.drive("wait", way, "gone")
        expect(s.hosts() == ORIGINAL_HOSTS, f"{way}: hosts unchanged")
        expect(s.proxy() == "intranet.test;<local>", f"{way}: proxy unchanged")


def test_about_box_from_system_commands(s):
    s.drive(f"proxy=a.test;{s.joined.split(';')[0].upper()}")
    with s.running(EXIT_CLOSED):
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
            expect(text.lower() == HOSTS_WINDOWS_PATH.lower() + " へのｱｸｾｽが拒否されました。", text)
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
    args = parser.parse_args()
    os.makedirs(args.shots, exist_ok=True)
    xvfb = ensure_display()
    # Our own X server has no window manager: a virtual desktop as large as
    # its screen draws the windows' frames, and the pictures show them.
    subprocess.run([os.path.join(os.path.dirname(args.wine_run), "wine-desktop.sh"), args.prefix]
                   + ([SCREEN] if xvfb else []), check=True)
    session = Session(args)
    tests = [test_set_then_remove, test_closing_changes_nothing, test_about_box_from_system_commands,
             test_locked_hosts_changes_nothing, test_blocked_replace_puts_the_proxy_list_back,
             test_unreadable_proxy_list_is_told_at_opening, test_read_only_hosts_is_refused_and_stays_read_only,
             test_linked_hosts_is_updated_where_it_leads, test_libraries_beside_the_executable_are_never_loaded]
    passed = failed = 0
    try:
        session.joined = session.drive("joined")[0][len("joined "):]
        for test in tests:
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
