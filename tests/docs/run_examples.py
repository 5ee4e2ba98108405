#!/usr/bin/python3
"""Runs the shell examples of README.md and docs/*.md against the built programs.

Every fenced sh or console block must carry a marker on the line right before its fence:

    <!-- example: run -->                      run it, check every exit status
    <!-- example: run, output -->              also compare the output shown after each `$ cmd`
    <!-- example: run, output, normalise: time ms -->   ... after masking what moves
    <!-- example: run, interrupt 3 -->         a command still running after 3 s gets SIGINT
    <!-- example: skip: a real adapter -->     never run (the reason is required)

A page is one session, as a reader would type it: programs started with `&` keep running
until the page's last block has run, then they are stopped. The pages use readable fixed
names; the table in `Session` maps them to this run's own: the built programs, free ports of
127.0.0.1 for the ports the pages use, a scratch folder for /tmp, and a copy of examples/
with the same names mapped.
"""
import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

COMMAND_TIMEOUT = 20.0
BACKGROUND_READY = 5.0
SHELL_LANGUAGES = {"sh", "bash", "shell", "console"}
FIXED_PORTS = ("1502", "5020", "8020")
MARKER = re.compile(r"^<!--\s*example:\s*(.*?)\s*-->\s*$")
FENCE = re.compile(r"^(```+|~~~+)\s*([\w+-]*)")

# What moves from run to run, by the name a marker gives it.
NORMALISERS = {
    "time": [
        (re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d"), "<time>"),
        (re.compile(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}"), "<time>"),
    ],
    "ms": [
        (re.compile(r"\d+(?:\.\d+)?/\d+(?:\.\d+)?/\d+(?:\.\d+)? ms"), "<ms>/<ms>/<ms> ms"),
        (re.compile(r"\d+(?:\.\d+)? ms"), "<ms> ms"),
        (re.compile(r"\d+(?:\.\d+)? s\b"), "<s> s"),
    ],
    # The progress line a terminal redraws in place and clears; a pipe gets it as lines.
    "progress": [(re.compile(r"^\[[#.]+\] .*\n?", re.M), "")],
    "pts": [(re.compile(r"/dev/pts/\d+"), "/dev/pts/N")],
    "float": [(re.compile(r"-?\d+\.\d+(?:e[+-]?\d+)?"), "<x>")],
    # A register's value in a list line or a CSV row: simulated inputs count up.
    "value": [
        (re.compile(r"= 0x[0-9a-f]{4}, \d+"), "= <v>"),
        (re.compile(r",-?[\d.]+,(OK)$", re.M), r",<v>,\1"),
    ],
}


class Block:
    def __init__(self, page, line, language, marker, body):
        self.page, self.line, self.language, self.body = page, line, language, body
        self.run = False
        self.output = False
        self.interrupt = None
        self.normalise = []
        self.skip_reason = None
        self.error = None
        self.parse_marker(marker)

    def where(self):
        return f"{self.page}:{self.line}"

    def parse_marker(self, marker):
        if marker is None:
            self.error = "no example marker before this block"
            return
        if marker.startswith("skip"):
            reason = marker[4:].lstrip(":").strip()
            if not reason:
                self.error = "a skip marker needs its reason"
            self.skip_reason = reason
            return
        words = [w.strip() for w in marker.split(",")]
        if words[0] != "run":
            self.error = f"unknown marker '{marker}'"
            return
        self.run = True
        for word in words[1:]:
            if word == "output":
                self.output = True
            elif word.startswith("normalise:"):
                self.normalise = word.split(":", 1)[1].split()
                unknown = [n for n in self.normalise if n not in NORMALISERS]
                if unknown:
                    self.error = f"unknown normaliser {unknown}"
            elif re.fullmatch(r"interrupt \d+(\.\d+)?", word):
                self.interrupt = float(word.split()[1])
            else:
                self.error = f"unknown marker word '{word}'"
        if self.output and self.language != "console":
            self.error = "'output' needs a console block ($ before each command)"


def read_blocks(path, name):
    blocks = []
    lines = open(path, encoding="utf-8").read().split("\n")
    i = 0
    while i < len(lines):
        m = FENCE.match(lines[i])
        if not m:
            i += 1
            continue
        fence, language, start = m.group(1), m.group(2).lower(), i
        i += 1
        body = []
        while i < len(lines) and not lines[i].startswith(fence):
            body.append(lines[i])
            i += 1
        i += 1
        if language not in SHELL_LANGUAGES:
            continue
        marker = MARKER.match(lines[start - 1]) if start > 0 else None
        blocks.append(Block(name, start + 1, language, marker.group(1) if marker else None, body))
    return blocks


def join_continued(lines):
    """Lines that end in a backslash go on in the next one, as in the shell."""
    out = []
    for line in lines:
        if out and out[-1].endswith("\\"):
            out[-1] = out[-1][:-1].rstrip() + " " + line.strip()
        else:
            out.append(line)
    return out


def strip_comment(command):
    quote = None
    for i, c in enumerate(command):
        if quote:
            if c == quote:
                quote = None
        elif c in "'\"":
            quote = c
        elif c == "#" and (i == 0 or command[i - 1].isspace()):
            return command[:i].rstrip()
    return command.rstrip()


def steps(block):
    """(command, expected output lines or None) in the order of the block."""
    if block.language != "console":
        result = []
        for line in join_continued(block.body):
            command = strip_comment(line).strip()
            if command:
                result.append((command, None))
        return result
    result = []
    lines = block.body
    i = 0
    while i < len(lines):
        if not lines[i].startswith("$ "):
            i += 1
            continue
        command = lines[i][2:]
        i += 1
        while command.endswith("\\") and i < len(lines):
            command = command[:-1].rstrip() + " " + lines[i].strip()
            i += 1
        expected = []
        while i < len(lines) and not lines[i].startswith("$ "):
            expected.append(lines[i])
            i += 1
        result.append((strip_comment(command), expected))
    return result


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


LOCAL_HOSTS = {"127.0.0.1", "localhost", "[::1]", "::1"}


def off_this_machine(command):
    for ip in re.findall(r"(?<![\w.])(\d{1,3}\.\d{1,3}\.\d{1,3}\.\d{1,3})(?![\w.])", command):
        if not ip.startswith("127."):
            return ip
    for host in re.findall(r"\b[a-z0-9]+s?://([^/:?\s]+)", command):
        if host not in LOCAL_HOSTS:
            return host
    return None


class Session:
    """One page's run: its scratch folder, its ports, its programs in the background."""

    def __init__(self, source, programs):
        self.source = source
        self.dir = tempfile.mkdtemp(prefix="vornak-docs-")
        self.tmp = os.path.join(self.dir, "tmp")
        self.work = os.path.join(self.dir, "work")
        os.makedirs(self.tmp)
        os.makedirs(self.work)
        self.ports = {p: str(free_port()) for p in FIXED_PORTS}
        self.programs = programs
        self.background = []
        self.env = dict(os.environ)
        dirs = sorted({os.path.dirname(p) for p in programs.values()})
        self.env["PATH"] = os.pathsep.join(dirs + [self.env.get("PATH", "/usr/bin:/bin")])
        self.env["HOME"] = self.dir
        self.env["XDG_CONFIG_HOME"] = os.path.join(self.dir, "config")
        for key in [k for k in self.env if k.startswith("VORNAK_")]:
            del self.env[key]
        self.copy_examples()

    def map(self, text):
        text = re.sub(r"(?:\S*/)?build/[\w.-]+/tools/\w+/(vornak-\w+)",
                      lambda m: self.programs.get(m.group(1), m.group(0)), text)
        text = re.sub(r"(?<![\w.])/tmp/", self.tmp + "/", text)
        text = re.sub(r"(?<![\w.])/tmp(?![\w/])", self.tmp, text)
        for fixed, port in self.ports.items():
            text = re.sub(rf"(?<![\w.]){fixed}(?![\w])", port, text)
        return text

    def unmap(self, text):
        text = text.replace(self.tmp, "/tmp")
        for fixed, port in self.ports.items():
            text = re.sub(rf"(?<![\w.]){port}(?!\w)", fixed, text)
        return text

    def copy_examples(self):
        src = os.path.join(self.source, "examples")
        dst = os.path.join(self.work, "examples")
        shutil.copytree(src, dst)
        for name in os.listdir(dst):
            path = os.path.join(dst, name)
            if name.endswith(".toml") or name.endswith(".csv"):
                with open(path, encoding="utf-8") as f:
                    text = f.read()
                with open(path, "w", encoding="utf-8") as f:
                    f.write(self.map(text))

    def start_background(self, command, expected):
        log = open(os.path.join(self.dir, f"bg{len(self.background)}.log"), "w+b")
        proc = subprocess.Popen(["bash", "-c", command], cwd=self.work, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                start_new_session=True)
        self.background.append(proc)
        # Ready once it has printed what the page shows and made the paths it names.
        want = len([l for l in (expected or []) if l.strip()])
        links = re.findall(r"--(?:link|tap|control)\s+(\S+)", command)
        deadline = time.monotonic() + BACKGROUND_READY
        time.sleep(0.1)
        text = ""
        while time.monotonic() < deadline:
            log.seek(0)
            text = log.read().decode("utf-8", "replace")
            if (text.count("\n") >= want and all(os.path.exists(p) for p in links)) \
                    or proc.poll() is not None:
                break
            time.sleep(0.05)
        if proc.poll() is not None and proc.returncode != 0:
            return proc.returncode, text
        lines = text.split("\n")[:want] if expected else []
        return 0, "\n".join(lines)

    def run(self, command, interrupt):
        proc = subprocess.Popen(["bash", "-c", command], cwd=self.work, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, start_new_session=True)
        try:
            out, _ = proc.communicate(timeout=interrupt or COMMAND_TIMEOUT)
            return proc.returncode, out.decode("utf-8", "replace"), False
        except subprocess.TimeoutExpired:
            if interrupt:
                os.killpg(proc.pid, signal.SIGINT)
                try:
                    out, _ = proc.communicate(timeout=COMMAND_TIMEOUT)
                    return proc.returncode, out.decode("utf-8", "replace"), False
                except subprocess.TimeoutExpired:
                    pass
            os.killpg(proc.pid, signal.SIGKILL)
            out, _ = proc.communicate()
            return None, out.decode("utf-8", "replace"), True

    def close(self):
        for proc in self.background:
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for proc in self.background:
            try:
                proc.wait(timeout=3)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def normalised(text, names):
    text = "\n".join(line.rstrip() for line in text.strip("\n").split("\n"))
    for name in names:
        for pattern, replacement in NORMALISERS[name]:
            text = pattern.sub(replacement, text)
    return text.strip("\n")


def matches(expected, actual):
    """`...` on a line of its own stands for any number of lines."""
    pattern = ""
    for line in expected.split("\n") if expected else []:
        pattern += r"(?:[^\n]*\n)*?" if line.strip() == "..." else re.escape(line) + r"\n"
    return re.fullmatch(pattern, actual + "\n" if actual else "") is not None


def run_block(block, session):
    """An empty list when the block ran as the page says, else what went wrong."""
    problems = []
    todo = steps(block)
    for index, (command, expected) in enumerate(todo):
        host = off_this_machine(command)
        if host:
            return [f"'{command}' would reach {host}: mark the block skip"]
        mapped = session.map(command)
        follows_status = index + 1 < len(todo) and todo[index + 1][0] == "echo $?"
        if command == "echo $?":
            status, out = 0, str(session.last_status) + "\n"
        elif mapped.endswith("&") and not mapped.endswith("&&"):
            status, out = session.start_background(mapped[:-1].strip(), expected)
        else:
            status, out, timed_out = session.run(mapped, block.interrupt)
            if timed_out:
                problems.append(f"'{command}' still ran after {COMMAND_TIMEOUT:.0f} s")
                return problems
        session.last_status = status
        if status != 0 and not follows_status:
            problems.append(f"'{command}' ended with status {status}:\n{out.rstrip()}")
            return problems
        if block.output and expected is not None:
            want = normalised("\n".join(expected), block.normalise)
            got = normalised(session.unmap(out), block.normalise)
            if not matches(want, got):
                problems.append(f"'{command}' printed something else.\n--- the page\n{want}\n"
                                f"--- this run\n{got}")
    return problems


def pages(source):
    names = ["README.md"] + sorted("docs/" + n for n in os.listdir(os.path.join(source, "docs"))
                                   if n.endswith(".md"))
    return [n for n in names if os.path.exists(os.path.join(source, n))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--source", required=True, help="the repository's top folder")
    parser.add_argument("--program", action="append", default=[], help="a built program")
    parser.add_argument("--list", action="store_true", help="list the blocks, run none")
    parser.add_argument("--page", help="only this page (as README.md or docs/poll.md)")
    args = parser.parse_args()
    programs = {os.path.basename(p): os.path.abspath(p) for p in args.program}
    started = time.monotonic()
    ran = skipped = failed = 0
    for name in pages(args.source):
        if args.page and name != args.page:
            continue
        blocks = read_blocks(os.path.join(args.source, name), name)
        for block in blocks:
            if block.error:
                print(f"{block.where()}: {block.error}")
                failed += 1
        runnable = [b for b in blocks if b.run and not b.error]
        skipped += len([b for b in blocks if b.skip_reason is not None and not b.error])
        if args.list:
            for b in blocks:
                print(f"{b.where()}: {'run' if b.run else 'skip: ' + str(b.skip_reason)}")
            continue
        if not runnable:
            continue
        session = Session(args.source, programs)
        session.last_status = 0
        try:
            for block in runnable:
                begun = time.monotonic()
                problems = run_block(block, session)
                ran += 1
                if problems:
                    failed += 1
                    for problem in problems:
                        print(f"{block.where()}: FAILED: {problem}")
                else:
                    print(f"{block.where()}: ok ({time.monotonic() - begun:.1f} s)")
        finally:
            session.close()
    print(f"docs examples: {ran} run, {skipped} skipped (not meant to run), {failed} failed"
          f" in {time.monotonic() - started:.0f} s")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
