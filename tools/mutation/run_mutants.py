#!/usr/bin/env python3
"""Plants one small bug at a time in the product code changed since a git
revision and reports which of them the tests catch.

Planted bugs showed the tests thinnest exactly where the code is new, and no
C++ mutation tool is packaged in Debian: this runner makes checking each
change a habit (see the README's part for contributors). Every mutant is
built (Release, no sanitizers) and tested in a mirror of the tree under the
build folder, inside bwrap, so that no mutant can touch the checkout.
"""

import argparse
import concurrent.futures
import dataclasses
import datetime
import hashlib
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NOT_PRODUCT = ("tests/", "tools/", "bench/", "fuzz/")
EQUIVALENT_FILE = "tools/mutation/equivalent.txt"
CONFIGURE = ["-DCMAKE_BUILD_TYPE=Release", "-DTOLVANE2_SANITIZE=OFF", "-DTOLVANE2_BENCH=OFF"]

# ---------------------------------------------------------------- lexing

Tok = dataclasses.make_dataclass("Tok", ["kind", "text", "start", "end", "line"])

PUNCT = sorted(
    "<<= >>= <=> ->* ... :: -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= .* "
    "{ } [ ] ( ) ; : , . ? ~ ! + - * / % ^ & | = < > #".split(),
    key=len,
    reverse=True,
)
IDENT = re.compile(r"[A-Za-z_]\w*")
PP_NUMBER = re.compile(r"\.?\d(?:[eEpP][+-]|[\w.'])*")
STRING_PREFIX = {"u8", "u", "U", "L", "R", "u8R", "uR", "UR", "LR"}
KEYWORDS = set(
    "alignas alignof asm auto bool break case catch char class const constexpr const_cast continue "
    "decltype default delete do double dynamic_cast else enum explicit extern false float for friend "
    "goto if inline int long mutable namespace new noexcept nullptr operator private protected public "
    "register reinterpret_cast return short signed sizeof static static_assert static_cast struct "
    "switch template this throw true try typedef typeid typename union unsigned using virtual void "
    "volatile while defined assert".split()
)
CASTS = {"static_cast", "reinterpret_cast", "const_cast", "dynamic_cast", "template"}
TYPE_WORDS = set("auto bool char const double float int long short signed unsigned void volatile struct "
                 "class typename".split())


def _literal_end(text, q, raw):
    """End of the string or character literal whose quote is at q."""
    if raw:
        paren = text.find("(", q)
        close = text.find(")" + text[q + 1:paren] + '"', paren)
        return len(text) if paren < 0 or close < 0 else close + paren - q + 1
    j = q + 1
    while j < len(text) and text[j] != text[q] and text[j] != "\n":
        j += 2 if text[j] == "\\" else 1
    return min(j + 1, len(text))


def _windows_only(directive, stack):
    """Follows #if nesting; a branch only Windows compiles yields no mutants here."""
    word, _, cond = directive.lstrip("#").strip().partition(" ")
    win = re.search(r"\b_?WIN32\b", cond) is not None
    negated = word == "ifndef" or re.search(r"!\s*defined\s*\(?\s*_?WIN32", cond) is not None
    if word in ("if", "ifdef", "ifndef"):
        kind = ("not-win" if negated else "win") if win else None
        stack.append([kind, kind == "win"])
    elif word == "elif" and stack:
        stack[-1] = [None, win and not negated]
    elif word == "else" and stack:
        stack[-1][1] = stack[-1][0] == "not-win"
    elif word == "endif" and stack:
        stack.pop()


def lex(text):
    """Code tokens only: no comments, no preprocessor lines, no Windows-only branches."""
    toks, stack = [], []
    i, line, line_start = 0, 1, True
    while i < len(text):
        c = text[i]
        if c == "\n" or c.isspace():
            line, line_start, i = line + (c == "\n"), line_start or c == "\n", i + 1
            continue
        if text.startswith("//", i) or (c == "#" and line_start):
            j = i
            while True:  # a line comment or a directive continues past a backslash
                j = text.find("\n", j)
                if j < 0 or text[j - 1] != "\\":
                    break
                j += 1
            j = len(text) if j < 0 else j
            if c == "#":
                _windows_only(text[i:j], stack)
            line, i = line + text.count("\n", i, j), j
            continue
        if text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = len(text) if j < 0 else j + 2
            line, i = line + text.count("\n", i, j), j
            continue
        line_start = False
        if (c.isascii() and c.isalpha()) or c == "_":
            j = IDENT.match(text, i).end()
            kind = "id"
            if text[i:j] in STRING_PREFIX and j < len(text) and text[j] in "\"'":
                j, kind = _literal_end(text, j, "R" in text[i:j]), "str"
        elif c.isdigit() or (c == "." and text[i + 1:i + 2].isdigit()):
            j, kind = PP_NUMBER.match(text, i).end(), "num"
        elif c in "\"'":
            j, kind = _literal_end(text, i, False), "str"
        else:
            p = next((p for p in PUNCT if text.startswith(p, i)), c)
            j, kind = i + len(p), "op"
        if not any(win for _, win in stack):
            toks.append(Tok(kind, text[i:j], i, j, line))
        line, i = line + text.count("\n", i, j), j
    return toks


# ---------------------------------------------------------------- angle brackets

HARD_BREAK = {";", "{", "}", "&&", "||", "?"}
SOFT_BREAK = set("= == != <= >= + - / % ! . -> | ^ << : ~ += -= *= /= |= &=".split())


def _scan_template(toks, i):
    """Whether the '<' at i opens template arguments: 'template', 'compare' or None."""
    depth, paren, seen = 1, 0, [i]
    for j in range(i + 1, min(len(toks), i + 80)):
        t = toks[j]
        if t.kind == "str" or t.text in HARD_BREAK:
            return "compare", seen
        if t.text == "<":
            depth += 1
            seen.append(j)
        elif t.text in (">", ">>"):
            depth -= len(t.text)
            seen.append(j)
            if depth <= 0:
                return ("template" if depth == 0 else "compare"), seen
        elif t.text in ("(", "["):
            paren += 1
        elif t.text in (")", "]"):
            if paren == 0:
                return "compare", seen
            paren -= 1
        elif paren == 0 and t.text in SOFT_BREAK:
            return "compare", seen
    return None, seen


def angle_roles(toks):
    """Token index of '<', '>' and '>>' -> 'template' or 'compare'; absent when unsure."""
    roles = {}
    for i, t in enumerate(toks):
        if t.text != "<" or i in roles or i == 0 or toks[i - 1].text == "operator":
            continue
        prev = toks[i - 1]
        if prev.text not in CASTS and (prev.kind != "id" or prev.text in KEYWORDS):
            roles[i] = "compare"
            continue
        role, seen = _scan_template(toks, i)
        if role == "template":
            roles.update((j, "template") for j in seen)
        elif role == "compare":
            roles[i] = "compare"
    for i, t in enumerate(toks):
        if t.text == ">" and i not in roles and 0 < i < len(toks) - 1:
            left, right = toks[i - 1], toks[i + 1]
            if (left.kind in ("id", "num") and left.text not in KEYWORDS) or left.text in (")", "]"):
                if right.kind != "op" or right.text in ("(", "!", "-", "*", "&", "::"):
                    roles[i] = "compare"
    return roles


# ---------------------------------------------------------------- mutation sites

Site = dataclasses.make_dataclass("Site", ["start", "end", "new", "lines", "op"])
FLIPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==", "&&": "||", "||": "&&"}
INT = re.compile(r"(0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*)([uUlLzZ]*)$")
NOT_CALLEES = KEYWORDS - {"this"}
SYMMETRIC = {"max", "min", "swap"}  # swapping their arguments changes nothing anyone sees
OR_LEFT = set("( , = |= &= ^= return { ? : | && || [".split())
OR_RIGHT = set(") , ; | } && || ? : ]".split())


def int_variants(text):
    """The constant plus and minus one, written in its own base and suffix."""
    m = INT.match(text)
    if not m:
        return []
    digits, suffix = m.group(1).replace("'", ""), m.group(2)
    base, prefix = {"0x": (16, digits[:2]), "0b": (2, digits[:2])}.get(digits[:2].lower(), (10, ""))
    if base == 10 and len(digits) > 1 and digits[0] == "0":
        base, prefix = 8, "0"
    value = int(digits[len(prefix):], base)
    form = {16: "X" if re.search("[A-F]", digits[2:]) else "x", 8: "o", 2: "b", 10: "d"}[base]
    return [prefix + format(v, form) + suffix for v in ([value + 1] + ([value - 1] if value > 0 else []))]


def _in_return(toks, i):
    for j in range(i - 1, -1, -1):
        if toks[j].text == "return":
            return True
        if toks[j].text in (";", "{", "}"):
            return False
    return False


def _rvalue_ref(toks, i, roles):
    nxt = toks[i + 1].text if i + 1 < len(toks) else ""
    typed = toks[i - 1].text in TYPE_WORDS or (i > 1 and toks[i - 2].text in TYPE_WORDS)  # `const T&& x`
    return typed or roles.get(i - 1) == "template" or nxt in (")", ",", ">", "...")


def token_sites(toks, roles):
    """Flipped operators, dropped '!', true/false in a return, constants +-1."""
    for i, t in enumerate(toks):
        prev = toks[i - 1].text if i else ""
        if prev == "operator":
            continue
        if t.text in FLIPS:
            if (t.text in ("<", ">") and roles.get(i) != "compare") or (t.text == "&&" and _rvalue_ref(toks, i, roles)):
                continue
            yield Site(t.start, t.end, FLIPS[t.text], {t.line}, "flip " + t.text)
        elif t.text == "!":
            yield Site(t.start, t.end, "", {t.line}, "drop !")
        elif t.text in ("true", "false") and _in_return(toks, i):
            yield Site(t.start, t.end, "false" if t.text == "true" else "true", {t.line}, "return " + t.text)
        elif t.kind == "num" and not (prev == "=" and i + 1 < len(toks) and toks[i + 1].text == ";" and
                                      toks[i - 2].text in (")", "const", "override")):
            for v in int_variants(t.text):
                yield Site(t.start, t.end, v, {t.line}, "constant")


def _operand(toks, i, step):
    """(first, last) of the name or constant that ends (step -1) or starts (step 1) at i."""
    if not (0 <= i < len(toks)) or toks[i].kind not in ("id", "num") or toks[i].text in KEYWORDS:
        return None
    first = last = i
    if step < 0:
        while first >= 2 and toks[first - 1].text == "::" and toks[first - 2].kind == "id":
            first -= 2
        first -= first >= 1 and toks[first - 1].text == "::"
    else:
        while last + 2 < len(toks) and toks[last + 1].text == "::" and toks[last + 2].kind == "id":
            last += 2
    outside = toks[first - 1].text if first else ""
    after = toks[last + 1].text if last + 1 < len(toks) else ""
    return (first, last) if outside in OR_LEFT and after in OR_RIGHT else None


def or_flag_sites(toks):
    """`a | B` without one of its flags."""
    for i, t in enumerate(toks):
        if t.text != "|":
            continue
        left, right = _operand(toks, i - 1, -1), _operand(toks, i + 1, 1)
        if left and right:
            yield Site(toks[left[1]].end, toks[right[1]].end, "", {t.line}, "drop flag")
            yield Site(toks[left[0]].start, toks[right[0]].start, "", {t.line}, "drop flag")


def _call_args(toks, p, roles):
    """(first, last) of each argument of the parenthesis at p, and the index of its ')'."""
    args, depth, first = [], 0, p + 1
    for j in range(p + 1, min(len(toks), p + 400)):
        t = toks[j].text
        if t in ("(", "[", "{") or (t == "<" and roles.get(j) == "template"):
            depth += 1
        elif t in (">", ">>") and roles.get(j) == "template":
            depth -= len(t)
        elif t in ("]", "}") or (t == ")" and depth > 0):
            depth -= 1
        elif t in (",", ")") and depth == 0:
            if j > first:
                args.append((first, j - 1))
            elif t == "," or args:
                return [], None  # an empty argument: no call
            if t == ")":
                return args, j
            first = j + 1
    return [], None


def _declares(toks, arg):
    """An argument that reads as a parameter (`const T& name = x`), not an expression."""
    first, last = arg
    last = next((j - 1 for j in range(first, last + 1) if toks[j].text == "="), last)
    if last < first:
        return False
    if toks[first].text in TYPE_WORDS:
        return True
    if last == first or toks[last].kind != "id":
        return False
    before = toks[last - 1]
    return before.kind == "id" or (last - first >= 2 and before.text in ("*", "&", "&&") and
                                   (toks[last - 2].kind == "id" or toks[last - 2].text == ">"))


def swap_sites(text, toks, roles):
    """Two neighbouring arguments of a call swapped, as text."""
    for p, t in enumerate(toks):
        if t.text != "(" or p == 0:
            continue
        prev = toks[p - 1]
        if not ((prev.kind == "id" and prev.text not in NOT_CALLEES | SYMMETRIC) or roles.get(p - 1) == "template"):
            continue
        args, close = _call_args(toks, p, roles)
        follower = toks[close + 1].text if close is not None and close + 1 < len(toks) else ""
        if len(args) < 2 or follower in ("{", "const", "override", "final", "noexcept"):
            continue
        if any(_declares(toks, a) for a in args):
            continue
        for a, b in zip(args, args[1:]):
            ta, tb = (text[toks[x[0]].start:toks[x[1]].end] for x in (a, b))
            if ta != tb:
                between = text[toks[a[1]].end:toks[b[0]].start]
                yield Site(toks[a[0]].start, toks[b[1]].end, tb + between + ta,
                           {toks[a[0]].line, toks[b[0]].line}, "swap args")


def _starts_line(text, pos):
    return text[text.rfind("\n", 0, pos) + 1:pos].strip() == ""


def removal_sites(text, toks, roles):
    """A statement that is only a call, `f(...);` or `obj.f(...);`, removed."""
    for s, t in enumerate(toks):
        before = toks[s - 1].text if s else ";"
        if before not in (";", "{", "}", ")", "else", ":") or not _starts_line(text, t.start):
            continue
        j = s + (t.text == "::")
        if j >= len(toks) or toks[j].kind != "id" or toks[j].text in NOT_CALLEES:
            continue
        while j + 2 < len(toks) and toks[j + 1].text in (".", "->", "::") and toks[j + 2].kind == "id":
            j += 2
        if j + 1 >= len(toks) or toks[j + 1].text != "(":
            continue
        args, close = _call_args(toks, j + 1, roles)
        if close is None or close + 1 == len(toks) or toks[close + 1].text != ";":
            continue
        if not any(_declares(toks, a) for a in args):
            # Where a statement must follow (after `if (...)`, `else` or a label) an empty one does.
            new = "" if before in (";", "{", "}") else ";"
            yield Site(t.start, toks[close + 1].end, new, {t.line}, "remove call")


def find_sites(text):
    toks = lex(text)
    roles = angle_roles(toks)
    found, seen = [], set()
    for site in [*token_sites(toks, roles), *or_flag_sites(toks), *swap_sites(text, toks, roles),
                 *removal_sites(text, toks, roles)]:
        key = (site.start, site.end, site.new)
        if key not in seen and text[site.start:site.end] != site.new:
            seen.add(key)
            found.append(site)
    return sorted(found, key=lambda s: (s.start, s.end, s.new))


def render(text, start, end, new):
    """The lines a change touches, before and after, each on one line."""
    ls = text.rfind("\n", 0, start) + 1
    le = text.find("\n", end)
    le = len(text) if le < 0 else le
    flat = lambda s: " ".join(x.strip() for x in s.splitlines() if x.strip())
    return flat(text[ls:le]), flat(text[ls:start] + new + text[end:le]) or "(removed)"


# ---------------------------------------------------------------- the tree

@dataclasses.dataclass
class Mutant:
    file: str
    line: int
    op: str
    before: str
    after: str
    start: int
    end: int
    new: str
    outcome: str = "not-run"
    test: str = ""
    seconds: float = 0.0
    equivalent: str = ""

    @property
    def change(self):
        return f"{self.before} -> {self.after}"


def git(*args):
    return subprocess.run(["git", "--no-optional-locks", "-C", ROOT, *args], check=True, capture_output=True,
                          text=True, errors="surrogateescape").stdout


def product_pathspec():
    return ["--", "*.cpp", "*.h", *(f":(exclude){d}" for d in NOT_PRODUCT)]


def changed_lines(since):
    """Product file -> the line numbers that differ from `since` in the working tree."""
    files, cur = {}, None
    diff = git("diff", "-U0", "--no-color", "--no-ext-diff", "--src-prefix=a/", "--dst-prefix=b/", since,
               *product_pathspec())
    for line in diff.splitlines():
        if line.startswith("+++ "):
            cur = None if line[4:] == "/dev/null" else line[6:]
        elif line.startswith("@@") and cur:
            m = re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", line)
            first, count = int(m.group(1)), int(m.group(2) or 1)
            files.setdefault(cur, set()).update(range(first, first + count))
    for new_file in git("ls-files", "-o", "--exclude-standard", *product_pathspec()).splitlines():
        with open(os.path.join(ROOT, new_file), encoding="utf-8", errors="surrogateescape") as f:
            files[new_file] = set(range(1, f.read().count("\n") + 2))
    return {f: lines for f, lines in files.items() if lines}


def read_text(path):
    with open(path, encoding="utf-8", errors="surrogateescape", newline="") as f:
        return f.read()


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_text(path, text):
    with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
        f.write(text)


def sync_mirror(mirror):
    """The mirror holds what the checkout holds on disk; a file that differs gets
    a fresh time, so that the incremental build sees it."""
    wanted = {f for f in git("ls-files", "-z", "-co", "--exclude-standard").split("\0")
              if f and os.path.isfile(os.path.join(ROOT, f))}
    for f in wanted:
        src, dst = os.path.join(ROOT, f), os.path.join(mirror, f)
        data = read_bytes(src)
        if not os.path.exists(dst) or read_bytes(dst) != data:
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            with open(dst, "wb") as d:
                d.write(data)
            os.chmod(dst, os.stat(src).st_mode & 0o7777)
    for folder, _, names in os.walk(mirror):
        for name in names:
            if os.path.relpath(os.path.join(folder, name), mirror) not in wanted:
                os.remove(os.path.join(folder, name))


def plant_sites(mirror, changed):
    """Every mutant whose change lies on a changed line."""
    mutants = []
    for f in sorted(changed):
        text = read_text(os.path.join(mirror, f))
        for s in find_sites(text):
            if s.lines & changed[f]:
                before, after = render(text, s.start, s.end, s.new)
                mutants.append(Mutant(f, min(s.lines), s.op, before, after, s.start, s.end, s.new))
    return mutants


def read_equivalents(path):
    """(file, 'before -> after') -> reason, from lines `file:line | before -> after | reason`."""
    found = {}
    if os.path.exists(path):
        for raw in read_text(path).splitlines():
            parts = raw.strip().split(" | ")
            if raw.strip() and not raw.startswith("#") and len(parts) >= 3:
                found[(parts[0].rpartition(":")[0], " | ".join(parts[1:-1]))] = parts[-1]
    return found


# ---------------------------------------------------------------- building and testing

class Sandbox:
    def __init__(self, build_dir, jobs):
        self.mirror = os.path.join(build_dir, "source")
        self.binary = os.path.join(build_dir, "build")
        self.tmp = os.path.join(build_dir, "tmp")
        self.jobs = jobs

    def wrap(self, cmd, cwd, tmp):
        # The tree read-only, the build writable, nothing outliving the run, and
        # a /tmp of its own on the build's file system: the tests copy files from
        # the build into /tmp, which Boost 1.74 cannot do across file systems.
        return ["bwrap", "--ro-bind", "/", "/", "--dev", "/dev", "--proc", "/proc", "--bind", tmp, "/tmp",
                "--bind", self.binary, self.binary, "--ro-bind", self.mirror, self.mirror,
                "--unshare-pid", "--unshare-ipc", "--unshare-net", "--die-with-parent",
                "--chdir", cwd or self.binary, "--", *cmd]

    def run(self, cmd, cwd=None, timeout=None, env=None):
        """(exit code, output, hung). Each command gets an empty /tmp: in a PID
        namespace of its own every test has the same process id, and names
        made from it would collide between tests run at once."""
        os.makedirs(self.tmp, exist_ok=True)
        tmp = tempfile.mkdtemp(dir=self.tmp)
        os.chmod(tmp, 0o1777)  # as /tmp is: tests run the tool as another account too
        p = subprocess.Popen(self.wrap(cmd, cwd, tmp), stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True, errors="replace", start_new_session=True, env=env)
        try:
            out, _ = p.communicate(timeout=timeout)
            return p.returncode, out, False
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            return None, p.communicate()[0], True
        finally:
            shutil.rmtree(tmp, ignore_errors=True)

    def build(self):
        if not os.path.exists(os.path.join(self.binary, "CMakeCache.txt")):
            os.makedirs(self.binary, exist_ok=True)
            rc, out, _ = self.run(["cmake", "-S", self.mirror, "-B", self.binary, *CONFIGURE])
            if rc != 0:
                return False, out
        rc, out, _ = self.run(["cmake", "--build", self.binary, "-j", str(self.jobs)])
        return rc == 0, out


@dataclasses.dataclass
class Test:
    name: str
    command: list
    cwd: str
    env: dict
    will_fail: bool = False
    skip_code: int = None
    exe: str = ""
    seconds: float = 0.0


def list_tests(box):
    rc, out, _ = box.run(["ctest", "--show-only=json-v1"])
    if rc != 0:
        sys.exit("ctest could not list the tests:\n" + out)
    data = json.loads(out[out.index("{"):])
    files, nodes = data["backtraceGraph"]["files"], data["backtraceGraph"]["nodes"]
    tests = []
    for t in data["tests"]:
        props = {p["name"]: p["value"] for p in t.get("properties", [])}
        if props.get("DISABLED") or not t.get("command"):
            continue
        # Without a working folder of its own a test runs in its folder's build folder.
        where = os.path.dirname(files[nodes[t["backtrace"]]["file"]]) if "backtrace" in t else box.mirror
        inside = os.path.relpath(where, box.mirror)
        default_cwd = where if inside.startswith("..") else os.path.join(box.binary, inside)
        env = dict(e.split("=", 1) for e in props.get("ENVIRONMENT", []))
        tests.append(Test(t["name"], t["command"], props.get("WORKING_DIRECTORY", default_cwd), env,
                          bool(props.get("WILL_FAIL")), props.get("SKIP_RETURN_CODE"),
                          os.path.basename(t["command"][0])))
    return tests


def target_map(box):
    """Source file -> the targets that compile it; target -> the libraries it
    links; target -> its folder in the tree."""
    compiled, links, homes = {}, {}, {}
    for folder, dirs, names in os.walk(box.binary):
        if not (folder.endswith(".dir") and os.path.basename(os.path.dirname(folder)) == "CMakeFiles"):
            continue
        target, cwd = os.path.basename(folder)[:-4], os.path.dirname(os.path.dirname(folder))
        homes[target] = os.path.relpath(cwd, box.binary)
        if "link.txt" in names:
            links[target] = {os.path.basename(w) for w in read_text(os.path.join(folder, "link.txt")).split()}
        for sub, _, files in os.walk(folder):
            for d in (n for n in files if n.endswith(".o.d")):
                deps = read_text(os.path.join(sub, d)).replace("\\\n", " ").partition(":")[2].split()
                for dep in deps:
                    rel = os.path.relpath(os.path.normpath(os.path.join(cwd, dep)), box.mirror)
                    if not rel.startswith(".."):
                        compiled.setdefault(rel, set()).add(target)
    return compiled, links, homes


class Suite:
    """The tests in the order a mutant meets them: those that caught mutants of
    the same folder before, then those of executables that build or link the
    mutated code or live in the folder's tests, then the rest; quickest first."""

    def __init__(self, box, tests):
        self.tests = tests
        self.compiled, self.links, self.homes = target_map(box)
        self.catchers = {}  # top folder -> test names, the latest catch first

    def order(self, file):
        top, targets = file.split("/")[0], self.compiled.get(file, set())
        libs = {n for t in targets for n in (f"lib{t}.a", f"lib{t}.so", f"{t}.so")}
        learned = self.catchers.get(top, [])

        def rank(t):
            if t.name in learned:
                return (0, learned.index(t.name))
            near = t.exe in targets or self.links.get(t.exe, set()) & libs or self.homes.get(t.exe) == f"tests/{top}"
            return (1 if near else 2, t.seconds)
        return sorted(self.tests, key=rank)

    def caught(self, file, name):
        learned = self.catchers.setdefault(file.split("/")[0], [])
        if name in learned:
            learned.remove(name)
        learned.insert(0, name)

    def learn_from(self, report_json):
        """What an earlier report's catches teach about the order."""
        if os.path.exists(report_json):
            with open(report_json) as f:
                for m in json.load(f).get("mutants", []):
                    if m["outcome"] in ("caught", "timeout-caught"):
                        self.caught(m["file"], m["test"].removesuffix(" (crash)"))


def run_test(box, test, timeout):
    """None when the test passes, else how it failed."""
    env = dict(os.environ, **test.env)
    t0 = time.monotonic()
    rc, out, hung = box.run(test.command, cwd=test.cwd, timeout=timeout, env=env)
    test.last_seconds = time.monotonic() - t0
    if hung:
        return "timeout"
    if test.skip_code is not None and rc == test.skip_code:
        return None
    if (rc != 0) == test.will_fail:
        return None
    return "crash" if rc < 0 or rc >= 128 else "failed"


def run_tests(box, tests, stop_early, timeout=None):
    """[(test, how it failed)]; with stop_early, at most the first failure. Each
    test may take five times what it took unmutated, and 30 s at least."""
    failures = []
    with concurrent.futures.ThreadPoolExecutor(box.jobs) as pool:
        def one(t):
            if stop_early and failures:
                return
            how = run_test(box, t, timeout or max(30.0, 5 * t.seconds))
            if how:
                failures.append((t, how))
        list(pool.map(one, tests))
    return failures[:1] if stop_early else failures


# ---------------------------------------------------------------- the run

def pick_evenly(items, n):
    if n >= len(items):
        return list(items)
    return [items[int((i + 0.5) * len(items) / n)] for i in range(n)] if n > 0 else []


def checkout_state(report_paths, only_product):
    """What the run watches of the checkout: its git status; with --allow-dirty,
    as the operator may go on with the tests meanwhile, the status and the
    contents of the product files alone."""
    ignored = {os.path.relpath(p, ROOT) for p in report_paths}
    status = [line for line in git("status", "--porcelain").splitlines() if line[3:] not in ignored]
    if not only_product:
        return status
    product = git("ls-files", "-co", "--exclude-standard", *product_pathspec()).splitlines()
    return [line for line in status if line[3:] in product] + [
        hashlib.sha1(read_bytes(os.path.join(ROOT, f))).hexdigest() for f in product]


def run_mutant(box, m, suite):
    path = os.path.join(box.mirror, m.file)
    original = read_text(path)
    t0 = time.monotonic()
    try:
        write_text(path, original[:m.start] + m.new + original[m.end:])
        built, _ = box.build()
        if not built:
            m.outcome = "uncompilable"
        else:
            failed = run_tests(box, suite.order(m.file), True)
            if not failed:
                m.outcome = "survived"
            else:
                test, how = failed[0]
                m.outcome = "timeout-caught" if how == "timeout" else "caught"
                m.test = test.name + (" (crash)" if how == "crash" else "")
                suite.caught(m.file, test.name)
    finally:
        write_text(path, original)
    m.seconds = round(time.monotonic() - t0, 1)


def run_all(box, order, suite, budget, checkout):
    """Runs the mutants within the budget. Three picked evenly tell what one
    costs; then, while some are left, as many as 80% of the time left allows,
    again picked evenly over what is left, so that a run the budget cuts
    short is still spread evenly over the changed lines. Says why it stopped
    early, or ''."""
    start, done, todo = time.monotonic(), 0, list(order)
    batch = pick_evenly(todo, 3) if budget else todo
    while batch:
        for m in batch:
            if checkout():
                return "the checkout changed during the run"
            if budget and time.monotonic() - start > budget:
                return ""
            print(f"[{done + 1}/{len(order)}] {m.file}:{m.line} {m.op}", end=" ", flush=True)
            run_mutant(box, m, suite)
            print(f"{m.outcome} {m.test} {m.seconds}s", flush=True)
            done += 1
        todo = [m for m in todo if m.outcome == "not-run"]
        spent = time.monotonic() - start
        batch = pick_evenly(todo, int(0.8 * (budget - spent) / (spent / done))) if budget else []
    return ""


# ---------------------------------------------------------------- the report

FOLDER_COLUMNS = ["planted", "caught", "survived", "declared equivalent", "uncompilable"]


def tally(mutants):
    rows = {}
    for m in mutants:
        if m.outcome in ("not-run", "not-built"):
            continue
        row = rows.setdefault(m.file.split("/")[0], dict.fromkeys(FOLDER_COLUMNS, 0))
        row["planted"] += 1
        kind = "declared equivalent" if m.equivalent else m.outcome.replace("timeout-caught", "caught")
        row[kind] += 1
    return rows


def score_text(row):
    judged = row["caught"] + row["survived"]
    return f"{100 * row['caught'] / judged:.1f}%" if judged else "-"


def write_report(path, meta, mutants):
    rows = tally(mutants)
    total = {c: sum(r[c] for r in rows.values()) for c in FOLDER_COLUMNS}
    cell = lambda s: str(s).replace("|", "\\|")
    out = [f"# Mutants since {meta['since']}", "",
           f"Tree: {meta['head']} with the working tree as on disk; run {meta['date']}, "
           f"{meta['ran']} of {meta['sites']} mutants in {meta['minutes']:.0f} min "
           f"(budget {meta['budget'] or 'none'}; the baseline build and test run took {meta['baseline_minutes']:.1f} min)."]
    if meta["sampled"]:
        out.append(f"**Sample**: the budget allowed {meta['ran']} of {meta['sites']} mutants, picked evenly over the "
                   "changed lines; the score is over that sample.")
    for note in meta["notes"]:
        out.append(f"**Note**: {note}")
    out += ["", "## Summary", "", "| folder | " + " | ".join(FOLDER_COLUMNS) + " | score |",
            "|---" * (len(FOLDER_COLUMNS) + 2) + "|"]
    for name, row in [*sorted(rows.items()), ("**all**", total)]:
        out.append(f"| {name} | " + " | ".join(str(row[c]) for c in FOLDER_COLUMNS) + f" | {score_text(row)} |")
    out += ["", f"Score = caught / (caught + survived) = {total['caught']} / {total['caught'] + total['survived']}"
            f" = {score_text(total)}; declared equivalent and uncompilable mutants are not counted.", "",
            "## Survivors", "", f"Each needs a test that catches it, or its line in `{EQUIVALENT_FILE}` with",
            "the reason nothing observable changes (append ` | reason`):", "", "```"]
    out += [f"{m.file}:{m.line} | {m.change}" for m in mutants if m.outcome == "survived" and not m.equivalent]
    out += ["```", "", "## Declared equivalent", ""]
    out += [f"- `{m.file}:{m.line}` {cell(m.change)}: {m.equivalent}" for m in mutants if m.equivalent] or ["None."]
    out += ["", "## Every mutant", "", "| where | operator | before → after | outcome | caught by | s |",
            "|---|---|---|---|---|---|"]
    for m in mutants:
        if m.outcome != "not-run":
            out.append(f"| {m.file}:{m.line} | {m.op} | `{cell(m.before)}` → `{cell(m.after)}` | {m.outcome} | "
                       f"{cell(m.test)} | {m.seconds} |")
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    write_text(path, "\n".join(out) + "\n")
    with open(os.path.splitext(path)[0] + ".json", "w") as f:
        json.dump({**meta, "summary": rows, "mutants": [dataclasses.asdict(m) for m in mutants]}, f, indent=1)
    return out[:out.index("## Survivors")]


# ---------------------------------------------------------------- main

def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--since", help="git revision the work started from (default: that of --survivors-of)")
    p.add_argument("--budget-minutes", type=float, help="time for the mutants, after the baseline build and tests")
    p.add_argument("--build-dir", default=os.path.join(ROOT, "build-mutation"),
                   help="holds the source mirror (source/) and its Release build (build/)")
    p.add_argument("--report", help="Markdown report; a .json beside it (default: BUILD_DIR/mutation-report.md)")
    p.add_argument("--survivors-of", metavar="REPORT_JSON",
                   help="rerun only the survivors of an earlier report; the report written is that one, updated")
    p.add_argument("--jobs", type=int, default=2, help="build jobs and tests run at once")
    p.add_argument("--exclude-tests", default=r"^(FaultSweep|SwapRace)\b", help="tests never run (regex)")
    p.add_argument("--allow-dirty", action="store_true",
                   help="mutate the working tree as it is on disk; stop only if its product files change")
    p.add_argument("--list", action="store_true", help="only list the mutants")
    args = p.parse_args(argv)
    args.build_dir = os.path.abspath(args.build_dir)
    args.report = os.path.abspath(args.report or os.path.join(args.build_dir, "mutation-report.md"))
    if args.survivors_of:
        with open(args.survivors_of) as f:
            args.earlier = json.load(f)
        args.since = args.since or args.earlier["since"]
    if not args.since:
        p.error("--since is needed")
    return args


def open_survivors(earlier, equivalents):
    """The keys of an earlier report's survivors not declared equivalent since."""
    return {(m["file"], m["before"], m["after"]) for m in earlier["mutants"]
            if m["outcome"] == "survived" and (m["file"], f"{m['before']} -> {m['after']}") not in equivalents}


def merge_into(earlier, rerun, equivalents, notes):
    """The earlier report's mutants, those rerun now with their new outcome;
    a survivor the code no longer has is left out, and the notes say so."""
    fresh = {(m.file, m.before, m.after): m for m in rerun if m.outcome != "not-run"}
    reran = {(m.file, m.before, m.after) for m in rerun}
    fields = {f.name for f in dataclasses.fields(Mutant)}
    merged, gone = [], 0
    for d in earlier["mutants"]:
        key = (d["file"], d["before"], d["after"])
        if key in open_survivors({"mutants": [d]}, equivalents) and key not in reran:
            gone += 1
        else:
            merged.append(fresh.get(key) or Mutant(**{k: v for k, v in d.items() if k in fields}))
    if gone:
        notes.append(f"{gone} survivor(s) of the earlier report no longer in the code, left out")
    return merged


def baseline(box, exclude):
    """Builds the unmutated tree and runs its tests once: the tests with their
    times, and those that fail anyway, which no mutant may then be caught by."""
    built, out = box.build()
    if not built:
        sys.exit("the unmutated tree does not build:\n" + out[-4000:])
    tests = [t for t in list_tests(box) if not exclude.search(t.name)]
    failing = {t.name for t, _ in run_tests(box, tests, False, timeout=600)}
    for t in tests:
        t.seconds = getattr(t, "last_seconds", 0.0)
    return [t for t in tests if t.name not in failing], sorted(failing)


def interrupted(*_):
    raise KeyboardInterrupt


def main(argv=None):
    args = parse_args(argv)
    report_paths = [args.report, os.path.splitext(args.report)[0] + ".json"]
    state = checkout_state(report_paths, args.allow_dirty)
    if state and not args.allow_dirty:
        sys.exit("the checkout has changes (git status); commit them first, or pass --allow-dirty")
    box = Sandbox(args.build_dir, args.jobs)
    sync_mirror(box.mirror)
    mutants = plant_sites(box.mirror, changed_lines(args.since))
    equivalents = read_equivalents(os.path.join(ROOT, EQUIVALENT_FILE))
    if args.survivors_of:
        wanted = open_survivors(args.earlier, equivalents)
        mutants = [m for m in mutants if (m.file, m.before, m.after) in wanted]
    if args.list:
        print("\n".join(f"{m.file}:{m.line} [{m.op}] {m.change}" for m in mutants))
        return 0
    os.makedirs(box.binary, exist_ok=True)
    if box.run(["true"])[0] != 0:
        sys.exit("bwrap does not run here (Debian: apt-get install bubblewrap)")
    signal.signal(signal.SIGTERM, interrupted)
    t0 = time.monotonic()
    tests, failing = baseline(box, re.compile(args.exclude_tests))
    suite = Suite(box, tests)
    for path in filter(None, (args.report, args.survivors_of)):
        suite.learn_from(os.path.splitext(path)[0] + ".json")
    notes = [f"fails without any mutant, so not used: {', '.join(failing)}"] if failing else []
    for m in mutants:
        if suite.compiled and m.file not in suite.compiled:
            m.outcome = "not-built"
    not_built = sorted({m.file for m in mutants if m.outcome == "not-built"})
    if not_built:
        notes.append(f"not compiled in this build, no mutants planted: {', '.join(not_built)}")
    if args.survivors_of:
        notes.append(f"the survivors of {args.survivors_of} ({args.earlier['date']}) rerun")
    runnable = [m for m in mutants if m.outcome == "not-run"]
    baseline_minutes, t1 = (time.monotonic() - t0) / 60, time.monotonic()
    budget = args.budget_minutes * 60 if args.budget_minutes else None
    try:
        stop = run_all(box, list(runnable), suite, budget,
                       lambda: checkout_state(report_paths, args.allow_dirty) != state)
    except KeyboardInterrupt:
        stop = "interrupted"
    if stop:
        notes.append(f"stopped early: {stop}")
    if args.survivors_of:
        mutants = merge_into(args.earlier, mutants, equivalents, notes)
    for m in mutants:
        m.equivalent = equivalents.get((m.file, m.change), "") if m.outcome == "survived" else ""
    ran = sum(m.outcome not in ("not-run", "not-built") for m in mutants)
    sites = args.earlier["sites"] if args.survivors_of else len(runnable)
    meta = {"since": args.since, "head": git("rev-parse", "--short", "HEAD").strip(),
            "date": datetime.datetime.now().strftime("%Y-%m-%d %H:%M"), "budget": args.budget_minutes,
            "sites": sites, "ran": ran, "sampled": ran < sites, "notes": notes,
            "minutes": (time.monotonic() - t1) / 60, "baseline_minutes": baseline_minutes}
    print("\n".join(write_report(args.report, meta, mutants)))
    print(f"\nReport: {args.report}")
    return 3 if stop else 0


if __name__ == "__main__":
    sys.exit(main())
