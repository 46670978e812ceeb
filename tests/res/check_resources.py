#!/usr/bin/env python3
"""Checks the compiled resources of the settings tool.

Usage: check_resources.py NetSetup.res [Deployment.h]

Build the .res with
    x86_64-w64-mingw32-windres -c 65001 -I res -I deployment -O res res/NetSetup.rc -o NetSetup.res
The deployment header (default: deployment/Deployment.h of this tree)
supplies the site-specific texts. Prints "N passed, M failed"; exits 1 on any failure.
"""
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

JAPANESE = 0x0411
RT_ICON, RT_DIALOG, RT_STRING, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 5, 6, 10, 14, 16, 24

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_SYSMENU, WS_GROUP, WS_TABSTOP = 0x00C00000, 0x00080000, 0x00020000, 0x00010000
DS_MODALFRAME, DS_SETFONT, WS_EX_APPWINDOW = 0x80, 0x40, 0x00040000
BS_PUSHBUTTON, BS_DEFPUSHBUTTON = 0, 1
SS_LEFT, SS_ICON, SS_NOPREFIX, SS_SUNKEN = 0, 3, 0x80, 0x1000
BUTTON, STATIC = 0x0080, 0x0082  # predefined class atoms
IDOK, IDCANCEL, NO_ID = 1, 2, -1
ICON_ID = 128

IDSP = "\u3000"  # ideographic space
APP = "Orvane設定ﾂｰﾙ"
FONT = "ＭＳ Ｐゴシック"

# Standard 16-colour palette as (R, G, B).
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


class Checker:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL: {what}" + (f": {detail}" if detail else ""))
        return ok

    def equal(self, actual, expected, what):
        return self.check(actual == expected, what, f"got {actual!r}, want {expected!r}")


# ---------------------------------------------------------------- .res file

def align4(n):
    return (n + 3) & ~3


def read_id(buf, p):
    """A resource or template name: ordinal (0xFFFF, n) or NUL-terminated UTF-16."""
    if struct.unpack_from("<H", buf, p)[0] == 0xFFFF:
        return struct.unpack_from("<H", buf, p + 2)[0], p + 4
    end = p
    while struct.unpack_from("<H", buf, end)[0] != 0:
        end += 2
    return buf[p:end].decode("utf-16-le"), end + 2


def read_res(buf):
    """Entries of a .res file as (type, name, language, data), the empty lead entry skipped."""
    entries, p = [], 0
    while p + 8 <= len(buf):
        data_size, header_size = struct.unpack_from("<II", buf, p)
        rtype, q = read_id(buf, p + 8)
        name, q = read_id(buf, q)
        q = align4(q)
        language = struct.unpack_from("<IHH", buf, q)[2]
        data = buf[p + header_size:p + header_size + data_size]
        if not (rtype == 0 and name == 0 and data_size == 0):
            entries.append((rtype, name, language, data))
        p = align4(p + header_size + data_size)
    return entries


# ---------------------------------------------------------- dialog templates

def sz(text):
    return text.encode("utf-16-le") + b"\0\0"


def sz_or_ord(value):
    return struct.pack("<HH", 0xFFFF, value) if isinstance(value, int) else sz(value)


def pad4(out):
    return out + b"\0" * (align4(len(out)) - len(out))


def encode_dialog(d):
    """The template the resource compiler should emit for dialog d."""
    ex = d["ex"]
    if ex:
        out = struct.pack("<HHIIIH4h", 1, 0xFFFF, 0, d["exstyle"], d["style"],
                          len(d["controls"]), *d["rect"])
    else:
        out = struct.pack("<IIH4h", d["style"], d["exstyle"], len(d["controls"]), *d["rect"])
    out += b"\0\0" + b"\0\0" + sz(d["caption"])  # no menu, default class
    if ex:
        out += struct.pack("<HHBB", d["points"], 0, 0, 1) + sz(d["font"])
    else:
        out += struct.pack("<H", d["points"]) + sz(d["font"])
    for c in d["controls"]:
        out = pad4(out)
        if ex:
            out += struct.pack("<III4hi", 0, 0, c["style"], *c["rect"], c["id"])
        else:
            out += struct.pack("<II4hh", c["style"], 0, *c["rect"], c["id"])
        out += sz_or_ord(c["class"]) + sz_or_ord(c["text"]) + b"\0\0"
    return out


def decode_dialog(buf):
    """Fields of a template, to say where it differs from the expected one."""
    ex = struct.unpack_from("<HH", buf, 0) == (1, 0xFFFF)
    if ex:
        _, _, helpid, exstyle, style, count, *rect = struct.unpack_from("<HHIIIH4h", buf, 0)
        p = 26
    else:
        style, exstyle, count, *rect = struct.unpack_from("<IIH4h", buf, 0)
        helpid, p = 0, 18
    d = dict(ex=ex, helpid=helpid, style=style, exstyle=exstyle, rect=tuple(rect))
    d["menu"], p = read_id(buf, p)
    d["class"], p = read_id(buf, p)
    d["caption"], p = read_id(buf, p)
    d["points"] = struct.unpack_from("<H", buf, p)[0]
    p += 2
    if ex:
        d["weight"], d["italic"], d["charset"] = struct.unpack_from("<HBB", buf, p)
        p += 4
    d["font"], p = read_id(buf, p)
    controls = []
    for _ in range(count):
        p = align4(p)
        if ex:
            helpid, cexstyle, cstyle, *crect, cid = struct.unpack_from("<III4hi", buf, p)
            p += 24
        else:
            cstyle, cexstyle, *crect, cid = struct.unpack_from("<II4hh", buf, p)
            helpid, p = 0, p + 18
        c = dict(helpid=helpid, exstyle=cexstyle, style=cstyle, rect=tuple(crect), id=cid)
        c["class"], p = read_id(buf, p)
        c["text"], p = read_id(buf, p)
        c["extra"] = struct.unpack_from("<H", buf, p)[0]
        p += 2
        controls.append(c)
    d["controls"] = controls
    return d, p


def check_dialog(t, data, want, name):
    try:
        got, end = decode_dialog(data)
    except (struct.error, UnicodeDecodeError) as e:
        t.check(False, f"{name}: readable template", str(e))
        return
    t.equal(got["ex"], want["ex"], f"{name}: extended template")
    t.equal(end, len(data), f"{name}: template length")
    for key in ("style", "exstyle", "rect", "caption", "points", "font"):
        t.equal(got[key], want[key], f"{name}: {key}")
    t.equal((got["helpid"], got["menu"], got["class"]), (0, "", ""), f"{name}: help id, no menu, default class")
    if want["ex"]:
        t.equal((got["weight"], got["italic"], got["charset"]), (0, 0, 1), f"{name}: font weight, italic, charset")
    t.equal(len(got["controls"]), len(want["controls"]), f"{name}: control count")
    for i, (g, w) in enumerate(zip(got["controls"], want["controls"]), 1):
        for key in ("id", "class", "style", "rect", "text"):
            t.equal(g[key], w[key], f"{name} control {i}: {key}")
        t.equal((g["helpid"], g["exstyle"], g["extra"]), (0, 0, 0), f"{name} control {i}: help id, ex-style, data")
    t.check(data == encode_dialog(want), f"{name}: template bytes")


def control(cid, cls, style, rect, text):
    return dict(id=cid, **{"class": cls}, style=WS_CHILD | WS_VISIBLE | style, rect=rect, text=text)


def main_dialog(dep):
    sunken = WS_GROUP | SS_LEFT | SS_SUNKEN
    button = WS_TABSTOP | BS_PUSHBUTTON
    description = (" [設定]ﾎﾞﾀﾝを押すと、次の設定を自動的に行います。\r\n\r\n"
                   "(1) HOSTSﾌｧｲﾙにｴﾝﾄﾘｰを追加\r\n(2) InternetExplorerのﾌﾟﾛｷｼ例外を追加\r\n\r\n")
    heading = f"Tavren県「学校間Orvane」設定ﾂｰﾙ Version 3.2\r\n{IDSP * 3}(Windows 2000/XP/Vista/7 対応版)"
    general = ("【一般的な注意事項】\r\n※ InternetExplorerを終了してから実行してください。\r\n"
               "※ Administrator(管理者)権限でﾛｸﾞｵﾝした状態で実行してください。\r\n\r\n")
    contact = ("【問い合わせ先】\r\n※ 学校間Orvaneに関する不明な点は、学校間Orvaneﾍﾙﾌﾟ ｻﾎﾟｰﾄ\r\n"
               f"{IDSP} ﾃﾞｽｸにお尋ねください。\r\n{IDSP * 2} (TEL："
               + dep["DEPLOY_HELPDESK_TEL"] + "  受付時間：平日9:00\uff5e17:00\uff09")
    vista = ("【Windows Vista/7 上で実行する場合の注意事項】\r\n"
             "※ 実行毎に「管理者として実行」する許可を行う必要があります。\r\n"
             "※ ｴﾗｰﾒｯｾｰｼﾞが表示されて実行できない場合は、設定ﾂｰﾙのｱｲｺﾝ上で\r\n"
             f" {IDSP}「ﾏｳｽの右ﾎﾞﾀﾝをｸﾘｯｸ」→「管理者として実行」→「許可」の順に選択して\r\n"
             f"{IDSP} ください。\uff08詳細は以下のﾍﾟｰｼﾞに記載\uff09\r\n {IDSP} " + dep["DEPLOY_GUIDE_URL"])
    return dict(
        ex=True, style=WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
        exstyle=WS_EX_APPWINDOW, rect=(0, 0, 231, 247), caption=APP, points=9, font=FONT,
        controls=[
            control(IDCANCEL, BUTTON, button, (174, 225, 50, 15), "ｷｬﾝｾﾙ"),
            control(1000, BUTTON, button, (7, 225, 48, 15), f"設{IDSP * 2}定"),
            control(1001, BUTTON, button, (90, 225, 51, 15), "設定の削除"),
            control(NO_ID, STATIC, sunken, (7, 33, 217, 37), description),
            control(NO_ID, STATIC, SS_ICON, (9, 7, 20, 20), ICON_ID),
            control(NO_ID, STATIC, WS_GROUP | SS_LEFT, (38, 12, 150, 16), heading),
            control(NO_ID, STATIC, sunken, (7, 74, 217, 37), general),
            control(NO_ID, STATIC, sunken, (7, 179, 217, 37), contact),
            control(NO_ID, STATIC, sunken, (7, 115, 217, 60), vista),
        ])


def about_box(dep):
    return dict(
        ex=False, style=WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
        exstyle=0, rect=(0, 0, 235, 55), caption=APP + "のﾊﾞｰｼﾞｮﾝ情報", points=9, font=FONT,
        controls=[
            control(NO_ID, STATIC, SS_ICON, (11, 17, 20, 20), ICON_ID),
            control(NO_ID, STATIC, WS_GROUP | SS_LEFT | SS_NOPREFIX, (40, 10, 119, 8), APP + " Version 3.2"),
            control(NO_ID, STATIC, WS_GROUP | SS_LEFT, (40, 25, 119, 8), dep["DEPLOY_NOTICE"]),
            control(IDOK, BUTTON, WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, (178, 7, 50, 14), "OK"),
        ])


# ------------------------------------------------------------------ strings

# Our own: the dialog's three, the command line's four and its three
# refusals of a log; out of memory; file errors by cause; registry errors by
# cause; another run busy; the file refusals; what became of each setting
# after an action on the command line.
STRING_IDS = [101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 61475] + list(range(61856, 61871)) + \
    list(range(61880, 61889)) + [61890, 61891, 61892, 61893, 61895, 61896, 61897, 61898]
# The event log's message file (RCDATA).
EVENT_MESSAGES_ID = 129

def read_strings(entries):
    strings = {}
    for rtype, name, _, data in entries:
        if rtype != RT_STRING:
            continue
        p = 0
        for i in range(16):
            n = struct.unpack_from("<H", data, p)[0]
            if n:
                strings[(name - 1) * 16 + i] = data[p + 2:p + 2 + 2 * n].decode("utf-16-le")
            p += 2 + 2 * n
    return strings


def check_strings(t, entries):
    s = read_strings(entries)
    want = {
        101: APP + " のﾊﾞｰｼﾞｮﾝ情報(&A)...",
        102: "設定が完了しました。ｱﾌﾟﾘｹｰｼｮﾝを終了します。",
        103: "設定を削除しました。ｱﾌﾟﾘｹｰｼｮﾝを終了します。",
        61475: "ﾒﾓﾘが不足しています。",
        61857: "%1 へのｱｸｾｽ中に不明なｴﾗｰが発生しました。",
        61865: "%1 のｼｰｸに失敗しました。",
        61869: "%1 へのｱｸｾｽ中にﾃﾞｨｽｸがいっぱいになりました。",
        61880: "%1 の読み取りに失敗しました。",
        61881: "%1 への書き込みに失敗しました。",
        61882: "%1 の置き換えに失敗し、%2 を元に戻せませんでした。",
        61884: "%1 は文字列値ではないため、読み取れません。",
        61885: "%1 にｼｽﾃﾑの文字ｺｰﾄﾞで表せない文字があるため、読み取れません。",
        61886: "%1 を変更する権限がありません。",
        61887: "%1 の置き換えに失敗しました。%2 は別のﾌﾟﾛｸﾞﾗﾑが変更したため、元に戻しませんでした。",
        61888: "%1 はこのﾂｰﾙが扱える形式ではないため、読み取れません。",
        61890: "別の設定ﾂｰﾙが設定を変更中です。しばらくしてから、もう一度実行してください。",
        61891: "%1 はUTF-16で保存されているため、処理できません。",
        61892: "%1 はCtrl-Z(ﾌｧｲﾙの終わり)の後にも行があるため、処理できません。",
        61893: "%1 は読み取り専用のため、変更できません。",
    }
    for sid, text in want.items():
        t.equal(s.get(sid), text, f"string {sid}")
    t.check(57344 not in s, "no application-title string 57344")
    for sid in range(61856, 61871):
        text = s.get(sid, "")
        t.check(text.count("%1") == 1, f"file-error string {sid} names the path once", repr(text))
    for sid in (105, 107, 108, 109, 110, 61883, 61884, 61885, 61886, 61888, 61891, 61892, 61893, 61895, 61896, 61897, 61898):
        t.check(s.get(sid, "").count("%1") == 1, f"string {sid} names its subject once")
    for sid in (61882, 61887):
        t.check(s.get(sid, "").count("%1") == 1 and s.get(sid, "").count("%2") == 1,
                f"string {sid} names the file and the value once each")
    usage = s.get(104, "")
    for switch in ("%1", "/set", "/remove", "/check", "/detect", "/machine", "/user", "/allusers", "/quiet", "/log:", "/?",
                   "1618"):
        t.check(switch in usage, f"usage names {switch}")
    t.equal(sorted(s), STRING_IDS, "string ids")
    for sid, text in sorted(s.items()):
        # Shown through the narrow code page: every character must have a form there.
        try:
            text.encode("cp932")
            ok = True
        except UnicodeEncodeError:
            ok = False
        t.check(ok, f"string {sid} fits code page 932")


# --------------------------------------------------------------------- icon

def check_icon(t, res):
    group = res.get((RT_GROUP_ICON, ICON_ID))
    if not t.check(group is not None, "icon group 128 present"):
        return
    t.equal(struct.unpack_from("<HHH", group, 0), (0, 1, 2), "icon group header: two images")
    t.equal(len(group), 6 + 2 * 14, "icon group length")
    sizes = []
    for i in range(2):
        w, h, colours, _, planes, bits, size, nid = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        t.equal(nid, i + 1, f"icon image {i + 1}: id")
        t.equal((colours, planes, bits), (16, 1, 4), f"icon image {nid}: colours, planes, bits")
        image = res.get((RT_ICON, nid), b"")
        t.equal(len(image), size, f"icon image {nid}: size in group")
        sizes.append((w, h))
        if len(image) < 40 + 64:
            continue
        hdr = struct.unpack_from("<IiiHHI", image, 0)
        t.equal(hdr, (40, w, 2 * h, 1, 4, 0), f"icon image {nid}: bitmap header")
        xor, mask = (w * 4 + 31) // 32 * 4 * h, (w + 31) // 32 * 4 * h
        t.equal(len(image), 40 + 64 + xor + mask, f"icon image {nid}: colour bits and 1-bit mask")
        palette = [struct.unpack_from("<BBB", image, 40 + 4 * k)[::-1] for k in range(16)]
        t.equal(palette, VGA, f"icon image {nid}: standard palette")
        and_bits = image[40 + 64 + xor:]
        t.check(any(b != 0xFF for b in and_bits), f"icon image {nid}: something is drawn")
    t.equal(sizes, [(32, 32), (16, 16)], "icon image sizes")


# ------------------------------------------------------------------ version

def read_node(buf, p):
    length, value_length, vtype = struct.unpack_from("<HHH", buf, p)
    key, q = read_id(buf, p + 6)
    q = align4(q)
    n = value_length * 2 if vtype == 1 else value_length
    value = buf[q:q + n]
    q = align4(q + n)
    children = []
    while q < p + length:
        child, q = read_node(buf, q)
        children.append(child)
    return dict(key=key, type=vtype, value=value, children=children), align4(p + length)


def check_version(t, data, dep):
    try:
        root, _ = read_node(data, 0)
    except (struct.error, UnicodeDecodeError) as e:
        t.check(False, "version: readable record", str(e))
        return
    t.equal(root["key"], "VS_VERSION_INFO", "version: root key")
    fixed = struct.unpack("<13I", root["value"]) if len(root["value"]) == 52 else None
    t.equal(fixed, (0xFEEF04BD, 0x00010000, 0x00030002, 0, 0x00030002, 0,
                    0x3F, 0, 0x4, 0x1, 0, 0, 0), "version: fixed part")
    blocks = {c["key"]: c for c in root["children"]}
    t.equal([c["key"] for c in root["children"]], ["StringFileInfo", "VarFileInfo"], "version: blocks")
    tables = blocks.get("StringFileInfo", {}).get("children", [])
    t.equal([c["key"] for c in tables], ["041104b0"], "version: string table")
    want = [("Comments", ""), ("CompanyName", ""), ("FileDescription", APP + " MFC ｱﾌﾟﾘｹｰｼｮﾝ"),
            ("FileVersion", "3, 2, 0, 0"), ("InternalName", APP),
            ("LegalCopyright", dep["DEPLOY_NOTICE"]), ("LegalTrademarks", ""),
            ("OriginalFilename", APP + ".EXE"), ("PrivateBuild", ""),
            ("ProductName", APP + " ｱﾌﾟﾘｹｰｼｮﾝ"), ("ProductVersion", "3, 2, 0, 0"),
            ("SpecialBuild", "")]
    got = []
    for c in tables[0]["children"] if tables else []:
        text = c["value"].decode("utf-16-le")
        # One terminator at most; an empty value is a lone terminator.
        got.append((c["key"], text[:-1] if text.endswith("\0") else text, c["type"]))
    t.equal(got, [(k, v, 1) for k, v in want], "version: strings in order")
    var = blocks.get("VarFileInfo", {}).get("children", [])
    t.equal([(v["key"], v["value"]) for v in var], [("Translation", struct.pack("<HH", JAPANESE, 1200))],
            "version: translation")


# ----------------------------------------------------------------- manifest

def check_manifest(t, data):
    ns = {"c": "urn:schemas-microsoft-com:compatibility.v1", "a3": "urn:schemas-microsoft-com:asm.v3",
          "ws": "http://schemas.microsoft.com/SMI/2005/WindowsSettings"}
    root = ET.fromstring(data)
    # XP and Server 2003 refuse to start a program whose manifest has an element
    # they do not know in the asm.v1 namespace; they skip the other namespaces.
    t.equal([e.tag for e in root], ["{urn:schemas-microsoft-com:asm.v2}trustInfo",
                                    "{urn:schemas-microsoft-com:compatibility.v1}compatibility",
                                    "{urn:schemas-microsoft-com:asm.v3}application"],
            "manifest: sections, each in a namespace older systems skip")
    # XP SP2's manifest parser corrupts memory on a namespace declared twice in one tag.
    twice = [tag for tag in re.findall(rb"<[^!?/][^>]*>", data)
             if len(set(re.findall(rb'xmlns(?::\w+)?="([^"]*)"', tag))) < len(re.findall(rb"xmlns", tag))]
    t.equal(twice, [], "manifest: each namespace declared once in a tag")
    aware = [e.text for e in root.iterfind("a3:application/a3:windowsSettings/ws:dpiAware", ns)]
    t.equal(aware, ["true"], "manifest: DPI-aware")
    levels = [e.attrib for e in root.iter() if e.tag.endswith("}requestedExecutionLevel")]
    t.equal(levels, [{"level": "requireAdministrator", "uiAccess": "false"}], "manifest: execution level")
    os_ids = {e.get("Id") for e in root.iterfind("c:compatibility/c:application/c:supportedOS", ns)}
    t.equal(os_ids, {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                     "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                     "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}, "manifest: supported systems")
    t.check(b"Common-Controls" not in data, "manifest: classic controls")


# --------------------------------------------------------------------- main

def read_deployment(path):
    text = open(path, encoding="utf-8").read()
    return dict(re.findall(r'^#define\s+(DEPLOY_\w+)\s+"([^"\\]*)"\s*$', text, re.M))


def main(argv):
    if len(argv) not in (2, 3):
        sys.exit(__doc__)
    here = os.path.dirname(os.path.abspath(__file__))
    dep_path = argv[2] if len(argv) == 3 else os.path.join(here, "..", "..", "deployment", "Deployment.h")
    dep = read_deployment(dep_path)
    entries = read_res(open(argv[1], "rb").read())
    res = {(rtype, name): data for rtype, name, _, data in entries}

    t = Checker()
    t.equal(sorted(dep), ["DEPLOY_GUIDE_URL", "DEPLOY_HELPDESK_TEL", "DEPLOY_NOTICE"], "deployment texts")
    t.check(all(dep.values()), "deployment texts are not empty")
    t.check(re.fullmatch(r"https?://\S+", dep.get("DEPLOY_GUIDE_URL", "")) is not None, "guide address is a URL")
    for rtype, name, language, _ in entries:
        t.equal(language, JAPANESE, f"language of resource {rtype}/{name}")
    blocks = sorted({sid // 16 + 1 for sid in STRING_IDS})
    t.equal(sorted(res), sorted([(RT_ICON, 1), (RT_ICON, 2), (RT_DIALOG, 100), (RT_DIALOG, 102),
                                 (RT_GROUP_ICON, ICON_ID), (RT_VERSION, 1), (RT_MANIFEST, 1),
                                 (RT_RCDATA, EVENT_MESSAGES_ID)]
                                + [(RT_STRING, b) for b in blocks]), "resource list")
    # Its messages are read end to end, as Event Viewer reads them.
    t.check(res.get((RT_RCDATA, EVENT_MESSAGES_ID), b"")[:2] == b"MZ", "event message file is a PE image")
    t.equal(len(entries), len(res), "no resource twice")
    if dep.keys() >= {"DEPLOY_GUIDE_URL", "DEPLOY_HELPDESK_TEL", "DEPLOY_NOTICE"}:
        check_dialog(t, res.get((RT_DIALOG, 102), b""), main_dialog(dep), "main dialog")
        check_dialog(t, res.get((RT_DIALOG, 100), b""), about_box(dep), "about box")
        check_version(t, res.get((RT_VERSION, 1), b""), dep)
    check_strings(t, entries)
    check_icon(t, res)
    check_manifest(t, res.get((RT_MANIFEST, 1), b"<none/>"))
    print(f"{t.passed} passed, {t.failed} failed")
    return 1 if t.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
