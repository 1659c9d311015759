#!/usr/bin/env python3
"""The mutation sites the runner finds: a wrong site wastes a build, a missed
one leaves a kind of bug unplanted."""

import os
import sys
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the checkout, which the runner wants clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_mutants  # noqa: E402


def mutants_of(source):
    """Each mutant as the changed line reads after it, and as `before -> after`."""
    found = set()
    for s in run_mutants.find_sites(source):
        before, after = run_mutants.render(source, s.start, s.end, s.new)
        found |= {after, f"{before} -> {after}"}
    return found


# (what, source, mutants it must produce, mutants it must not produce)
CASES = [
    ("comparison", "if (a < b) return true;",
     {"if (a <= b) return true;", "if (a < b) return false;"}, {"if (a < b) return true;"}),
    ("template arguments", "std::vector<int> v = std::map<K, std::vector<int>>{};",
     set(), {"std::vector<=int> v = std::map<K, std::vector<int>>{};",
             "std::vector<int>= v = std::map<K, std::vector<int>>{};"}),
    ("cast beside a comparison", "bool late = static_cast<std::int64_t>(t) > limit;",
     {"bool late = static_cast<std::int64_t>(t) >= limit;"},
     {"bool late = static_cast<=std::int64_t>(t) > limit;", "bool late = static_cast<std::int64_t>=(t) > limit;"}),
    ("comparisons around a &&", "ok = a < b && c > d;",
     {"ok = a <= b && c > d;", "ok = a < b && c >= d;", "ok = a < b || c > d;"}, set()),
    ("include", "#include <vector>\n#include \"x.h\"\n", set(), {"#include <=vector>"}),
    ("member access", "if (p->size > 0) q->Flush();",
     {"if (p->size >= 0) q->Flush();", "if (p->size > 1) q->Flush();"}, {"if (p-=>size > 0) q->Flush();"}),
    ("stream shifts", "out << a << (b >> 2);", {"out << a << (b >> 3);"}, {"out <<= a << (b >> 2);"}),
    ("string and comment", 's = "a < b && !c"; // x < y || !z\n', set(),
     {'s = "a <= b && !c";', 's = "a < b || !c";', 's = "a < b && c";'}),
    ("block comment", "/* a < b\n   && !c */ x = y;\n", set(), {"&& c */ x = y;", "/* a <= b"}),
    ("raw string", 'q = R"(a < b)" + 1;', {'q = R"(a < b)" + 2;'}, {'q = R"(a <= b)" + 1;'}),
    ("macro", "#define LESS(a, b) \\\n    ((a) < (b))\n", set(), {"((a) <= (b))", "#define LESS(b, a) \\"}),
    ("negation, not !=", "if (!done && flag != 0) Run(a, b);",
     {"if (done && flag != 0) Run(a, b);", "if (!done && flag == 0) Run(a, b);", "if (!done || flag != 0) Run(a, b);",
      "if (!done && flag != 1) Run(a, b);", "if (!done && flag != 0) Run(b, a);"},
     {"if (!done && flag = 0) Run(a, b);"}),
    ("flags", "int f = ::open(p, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);",
     {"int f = ::open(p, O_CLOEXEC | O_NOFOLLOW);", "int f = ::open(p, O_RDONLY | O_NOFOLLOW);",
      "int f = ::open(p, O_RDONLY | O_CLOEXEC);"}, set()),
    ("flag beside an operator that binds tighter", "m = a + B | C;", set(), {"m = a + C;", "m = a + B;"}),
    ("call statements", "{\n    fsync(fd);\n    obj->Flush();\n    ns::Log(x);\n    int y = f(a);\n}\n",
     {"fsync(fd); -> (removed)", "obj->Flush(); -> (removed)", "ns::Log(x); -> (removed)"},
     {"int y = f(a); -> (removed)"}),
    ("call statement under an if", "if (x)\n    Run();\nNext();\n", {"Run(); -> ;", "Next(); -> (removed)"},
     {"Run(); -> (removed)"}),
    ("declarations", "int Open(const char* path, bool onlyWriter);\nFoo(const Bar& bar, int n);\n", set(),
     {"int Open(bool onlyWriter, const char* path);", "(removed)"}),
    ("symmetric calls", "m = std::max(a, b);", set(), {"m = std::max(b, a);"}),
    ("constants in their own base", "mode = 0x1F | 07777; n = 10u;",
     {"mode = 0x20 | 07777; n = 10u;", "mode = 0x1E | 07777; n = 10u;", "mode = 0x1F | 07776; n = 10u;",
      "mode = 0x1F | 07777; n = 11u;"}, {"mode = 0x1F | 07777; n = 10.5u;"}),
    # `Item&& item` reads like `a && b`: that mutant does not compile and is counted so.
    ("rvalue references", "void Take(const Item&& item, std::vector<int>&& rest);\nfor (auto&& x : xs) Use(x);",
     set(), {"void Take(const Item|| item, std::vector<int>&& rest);",
             "void Take(const Item&& item, std::vector<int>|| rest);", "for (auto|| x : xs) Use(x);"}),
    ("Windows-only branch", "#ifdef _WIN32\nx = a < b;\n#else\ny = c < d;\n#endif\n",
     {"y = c <= d;"}, {"x = a <= b;"}),
    ("POSIX-only branch", "#ifndef _WIN32\nx = a < b;\n#endif\n", {"x = a <= b;"}, set()),
]


class SiteFinder(unittest.TestCase):
    def test_cases(self):
        for what, source, must, must_not in CASES:
            with self.subTest(what):
                found = mutants_of(source)
                self.assertEqual(set(), must - found, f"missing; found {sorted(found)}")
                self.assertEqual(set(), must_not & found)

    def test_constants_plus_and_minus_one(self):
        for literal, variants in [("0", ["1"]), ("7", ["8", "6"]), ("0x0f", ["0x10", "0xe"]), ("010", ["011", "07"]),
                                  ("1'000", ["1001", "999"]), ("2.5", []), ("1e3", [])]:
            with self.subTest(literal):
                self.assertEqual(variants, run_mutants.int_variants(literal))


class Equivalents(unittest.TestCase):
    def test_a_declared_line_matches_its_change_even_with_bars_in_the_code(self):
        path = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"equivalent-{os.getpid()}.txt")
        with open(path, "w") as f:
            f.write("# file:line | before -> after | reason\n"
                    "platform/a.cpp:3 | f(x | Y); -> f(x); | Y is 0 on Linux\n")
        try:
            self.assertEqual({("platform/a.cpp", "f(x | Y); -> f(x);"): "Y is 0 on Linux"},
                             run_mutants.read_equivalents(path))
        finally:
            os.remove(path)


if __name__ == "__main__":
    unittest.main()
