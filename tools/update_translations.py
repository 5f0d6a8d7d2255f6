#!/usr/bin/env python3
"""Brings data/translations/plastora_en.ts and plastora_ja.ts up to date with the program's texts.

plastora_en.ts: the program's own texts are Japanese string literals in app/, cli/ and platform/. Every
literal (adjacent literals joined) that holds Japanese is a source text of the
context "Plastora"; printf conversions (%d, %s, %.1f, ...) become %1, %2, ...
as the translator matches numbers in shown texts that way. Translations
already in the file are kept; new texts are added unfinished; texts no longer
in the code are marked obsolete. Run it after changing texts, then translate
what is unfinished (Qt Linguist, or by hand).

plastora_ja.ts: the command line's own texts are English, in cli/: the
literals given to tr() and N_(), the summary of every PLASTORA_CLI_COMMAND
and the text of every PLASTORA_CLI_HELP, each the source text of the context
"PlastoraCli", translated into Japanese.
"""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

ROOT = pathlib.Path(__file__).resolve().parent.parent
TS = ROOT / "data" / "translations" / "plastora_en.ts"
TS_JA = ROOT / "data" / "translations" / "plastora_ja.ts"
RUN = r'((?:"(?:[^"\\\n]|\\.)*"\s*)+)'
CLI_MARKED = [
    re.compile(r"\b(?:tr|N_)\(\s*" + RUN),
    re.compile(r'PLASTORA_CLI_COMMAND\(\{?\s*"[^"]*",\s*' + RUN + r",\s*" + RUN + r","),
    re.compile(r'PLASTORA_CLI_HELP\(\s*"[^"]*",\s*' + RUN + r"\)"),
]
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


def cli_texts():
    found = {}
    for path in sorted(p for p in (ROOT / "cli").rglob("*") if p.suffix in (".cpp", ".h")):
        code = path.read_text(encoding="utf-8")
        where = str(path.relative_to(ROOT))
        for pattern in CLI_MARKED:
            for m in pattern.finditer(code):
                run = m.group(m.lastindex)
                found.setdefault("".join(unescape(p) for p in ONE.findall(run)), where)
    return found


def update(path, current, language, source_language, context):
    old = {}
    if path.exists():
        for msg in ET.parse(path).getroot().iter("message"):
            source = msg.findtext("source")
            tr = msg.find("translation")
            if source is not None and tr is not None and tr.text and tr.get("type") not in ("unfinished",):
                old[source] = tr.text
            elif source is not None and tr is not None and tr.text:
                old.setdefault(source, tr.text)
    ts = ET.Element("TS", version="2.1", language=language, sourcelanguage=source_language)
    ctx = ET.SubElement(ts, "context")
    ET.SubElement(ctx, "name").text = context
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
    path.parent.mkdir(parents=True, exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write('<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n')
        f.write(ET.tostring(ts, encoding="unicode"))
        f.write("\n")
    done = sum(1 for s in current if s in old)
    print(f"{path.name}: {len(current)} texts, {done} translated, {len(current) - done} unfinished", file=sys.stderr)


def main():
    update(TS, texts(), "en_US", "ja_JP", "Plastora")
    update(TS_JA, cli_texts(), "ja_JP", "en_US", "PlastoraCli")


if __name__ == "__main__":
    main()
