#!/usr/bin/python3
"""Every relative link and #anchor of README.md and docs/*.md resolves, every picture exists and
is one the end-to-end run takes (by name), so scripts/screenshots.sh can take it again."""
import os
import re
import sys

LINK = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")


def slug(heading):
    text = re.sub(r"[`*_]", "", heading.strip().lower())
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path):
    seen, result, fence = {}, set(), False
    for line in open(path, encoding="utf-8"):
        if line.startswith("```"):
            fence = not fence
        elif not fence and re.match(r"#{1,6} ", line):
            base = slug(line.lstrip("#"))
            n = seen.get(base, 0)
            seen[base] = n + 1
            result.add(base if n == 0 else f"{base}-{n}")
    return result


def shots(source):
    names = set()
    folder = os.path.join(source, "tests", "e2e")
    for name in os.listdir(folder):
        if name.endswith(".sh"):
            names |= set(re.findall(r"\$out/([\w.-]+\.png)", open(os.path.join(folder, name)).read()))
    return names


def main():
    source = sys.argv[1]
    pages = ["README.md"] + ["docs/" + n for n in sorted(os.listdir(os.path.join(source, "docs")))
                             if n.endswith(".md")]
    taken = shots(source)
    bad = checked = 0
    for page in pages:
        path = os.path.join(source, page)
        text, fence = [], False
        for line in open(path, encoding="utf-8"):
            if line.startswith("```"):
                fence = not fence
            elif not fence:
                text.append(re.sub(r"`[^`]*`", "", line))
        for m in LINK.finditer("".join(text)):
            target = m.group(1)
            if re.match(r"[a-z]+:", target):
                continue
            checked += 1
            file, _, anchor = target.partition("#")
            resolved = os.path.normpath(os.path.join(os.path.dirname(path), file)) if file else path
            problem = None
            if not os.path.exists(resolved):
                problem = "no such file"
            elif anchor and resolved.endswith(".md") and anchor not in anchors(resolved):
                problem = f"no heading #{anchor}"
            elif m.group(0).startswith("!") and os.path.basename(resolved) not in taken:
                problem = "a picture the end-to-end run does not take"
            if problem:
                bad += 1
                print(f"{page}: {target}: {problem}")
    print(f"docs links: {checked} checked, {bad} broken")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
