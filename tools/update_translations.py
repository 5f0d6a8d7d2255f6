#!/usr/bin/env python3
"""Brings data/translations/plastora_en.ts up to date with the program's texts.

The program's own texts are Japanese string literals in app/, cli/ and platform/. Every
literal (adjacent literals joined) that holds Japanese is a source text of the
context "Plastora"; printf conversions (%d, %s, %.1f, ...) become %1, %2, ...
as the translator matches numbers in shown texts that way. Translations
already in the file are kept; new texts are added unfinished; texts no longer
in the code are marked obsolete. Run it after changing texts, then translate
what is unfinished (Qt Linguist, or by hand).
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

ROOT = pathlib.Path(__file__).resolve().parent.parent
TS = ROOT / "data" / "translations" / "plastora_en.ts"
JAPANESE = re.compile(r"[\u3000-\u30ff\u4e00-\u9fff\uff01-\uff9f]")
LITERALS = re.compile(r'"((?:[^"\\\n]|\\.)*)"(?:\s*"((?:[^"\\\n]|\\.)*)")*')
ONE = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
PRINTF = re.compile(r"%[-+ #0]*\d*(?:\.\d+)?(?:l{0,2}|z)[dsuifxX]|%\d")


def unescape(s):
    return (s.replace("\\n", "\n").replace('\\"', '"').replace("\\t", "\t").replace("\\\\", "\\"))


# Texts the program puts together from pieces at run time, as they are
# matched once their numbers are placeholders.
COMPOSED = [
    "このマルチピクチャーファイルには画像が%1枚あります。\n読み込めるのは%2枚までです。",
]


def texts():
    found = {text: "composed" for text in COMPOSED}
    for folder in ("app", "cli", "platform"):
        for path in sorted((ROOT / folder).rglob("*")):
            if path.suffix not in (".cpp", ".h"):
                continue
            code = path.read_text(encoding="utf-8")
            for m in LITERALS.finditer(code):
                text = "".join(unescape(p) for p in ONE.findall(m.group(0)))
                if not JAPANESE.search(text):
                    continue
                count = [0]

                def number(_):
                    count[0] += 1
                    return "%" + str(count[0])

                where = str(path.relative_to(ROOT))
                if "|" in text:
                    # A file-dialog filter: its names are shown one by one.
                    parts = text.split("|")
                    for name in parts[0::2]:
                        if JAPANESE.search(name):
                            found.setdefault(name, where)
                    continue
                found.setdefault(PRINTF.sub(number, text), where)
    return found


def main():
    current = texts()
    old = {}
    if TS.exists():
        for msg in ET.parse(TS).getroot().iter("message"):
            source = msg.findtext("source")
            tr = msg.find("translation")
            if source is not None and tr is not None and tr.text and tr.get("type") not in ("unfinished",):
                old[source] = tr.text
            elif source is not None and tr is not None and tr.text:
                old.setdefault(source, tr.text)
    ts = ET.Element("TS", version="2.1", language="en_US", sourcelanguage="ja_JP")
    ctx = ET.SubElement(ts, "context")
    ET.SubElement(ctx, "name").text = "Plastora"
    for source in sorted(set(current) | set(old)):
        msg = ET.SubElement(ctx, "message")
        if source in current and current[source] != "composed":
            ET.SubElement(msg, "location", filename="../../" + current[source])
        ET.SubElement(msg, "source").text = source
        tr = ET.SubElement(msg, "translation")
        if source in old:
            tr.text = old[source]
            if source not in current:
                tr.set("type", "vanished")
        else:
            tr.set("type", "unfinished")
    ET.indent(ts)
    TS.parent.mkdir(parents=True, exist_ok=True)
    with open(TS, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n')
        f.write(ET.tostring(ts, encoding="unicode"))
        f.write("\n")
    done = sum(1 for s in current if s in old)
    print(f"{len(current)} texts, {done} translated, {len(current) - done} unfinished", file=sys.stderr)


if __name__ == "__main__":
    main()
