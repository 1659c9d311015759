#!/usr/bin/env python3
"""Checks an audit page as headless chromium rendered it against the audit's
own JSON: every kind of mark per location-day, titles naming the files,
nothing referenced outside the page, no count of seconds since 1970 in its
text, and, laid out at a desktop's width and a phone's, marks of every kind
drawn, nothing wider than the screen outside a box that scrolls, and the
Problems column in view.

usage: browser_check.py PAGE JSON SCREENSHOT LAYOUT...
(each LAYOUT: tests/audit/layout-frame.html at one width, dumped)"""

import json
import re
import struct
import sys
import zlib
from html.parser import HTMLParser


class Marks(HTMLParser):
    """Collects the marks of each location row of each day's first timeline
    (not the closer look): per (day, location) and CSS class a list of
    (title, how many problems the mark stands for); and the page's text."""

    def __init__(self):
        super().__init__()
        self.day = None
        self.location = None
        self.zoom = False
        self.rect = None
        self.title = None
        self.marks = {}  # (day, location) -> {class: [(title, count)]}
        self.text = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "details" and "data-day" in attrs:
            self.day = attrs["data-day"]
        elif tag == "svg" and "timeline" in (attrs.get("class") or ""):
            self.zoom = "data-zoom" in attrs
        elif tag == "g" and "data-location" in attrs and not self.zoom:
            self.location = attrs["data-location"]
            self.marks.setdefault((self.day, self.location), {})
        elif tag == "rect" and self.location is not None:
            self.rect = (attrs.get("class"), int(attrs.get("data-count", "1")))
        elif tag == "title" and self.rect is not None:
            self.title = ""

    def handle_data(self, data):
        self.text.append(data)
        if self.title is not None:
            self.title += data

    def handle_endtag(self, tag):
        if tag == "title" and self.title is not None:
            kind, count = self.rect
            self.marks[(self.day, self.location)].setdefault(kind, []).append((self.title, count))
            self.title = None
        elif tag == "rect":
            self.rect = None
        elif tag == "g":
            self.location = None
        elif tag == "svg":
            self.zoom = False


def fail(message):
    print("browser check: " + message)
    sys.exit(1)


def external_references(page):
    found = []
    for pattern in (r"<script", r"<link", r"<img", r"<iframe", r"@import", r"\bsrc\s*=",
                    r"href\s*=\s*\"(?!#)", r"url\((?!#)", r"https?://(?!www\.w3\.org/2000/svg\")"):
        found += re.findall(pattern, page, re.IGNORECASE)
    return found


def distinct_pixels(png_path):
    """How many different pixel values the screenshot holds (8-bit RGB/RGBA PNG)."""
    data = open(png_path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        fail("the screenshot is no PNG")
    position, idat, width, height, channels = 8, b"", 0, 0, 0
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                fail("unexpected PNG format")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    seen = set()
    for row in range(height):
        start = row * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            upper_left = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - upper_left
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - upper_left)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else upper_left)) & 255
        if row % 8 == 0:
            for x in range(0, stride, channels * 4):
                seen.add(bytes(line[x:x + 3]))
        previous = line
    return len(seen)


ALL_KINDS = ("no_row", "unreadable", "missing_recording", "listed_twice", "overlap", "name_time_mismatch",
             "before_2000", "lost_coverage", "lost_recording", "no_database", "database_damaged", "needs_recovery",
             "not_writable", "leftover", "link_passed_over", "not_a_recording", "stale_row", "mixed_zones", "outage")
EPOCH = re.compile(r"(?<![\w.:-])\d{9,10}(?![\w])")


def check_marks(marks, model):
    """Each location-day's marks of each kind stand for as many problems as
    the JSON holds of that kind; returns how many marks were compared."""
    checked = 0
    for day in model["location_days"]:
        key = (day["day"], day["location"])
        drawn = marks.marks.get(key)
        if drawn is None:
            fail("no timeline row for %s location %s" % key)
        if len(drawn.get("bar", [])) != len(day["intervals"]):
            fail("%s location %s: %d bars drawn, %d intervals" % (key + (len(drawn.get("bar", [])),
                                                                      len(day["intervals"]))))
        for interval in day["intervals"]:
            if interval["files"] and not any(interval["first_file"] in title for title, _ in drawn["bar"]):
                fail("no bar titled with " + interval["first_file"])
        if (day["database"]["state"] != "read") != ("unread" in drawn):
            fail("%s location %s: database %s, greyed row %s" % (key + (day["database"]["state"], "unread" in drawn)))
        for kind in ALL_KINDS:
            problems = [p for p in day["problems"] if p["kind"] == kind]
            stands_for = sum(count for _, count in drawn.get(kind, []))
            if stands_for != len(problems):
                fail("%s location %s: %s marks for %d problems, %d in the JSON"
                     % (key + (kind, stands_for, len(problems))))
            names = [p["name"] for p in problems if p["name"]]
            for title, count in drawn.get(kind, []):
                if count == 1 and names and not any(title.startswith(name + ":") or name + ":" in title
                                                    for name in names):
                    fail("a %s mark titled with no such file: %s" % (kind, title))
            checked += stands_for
        checked += len(drawn.get("bar", []))
    return checked


def check_layout(marks, dump, name):
    """What the browser laid out: marks with a size as the page has them,
    nothing wider than the screen outside a scrolling box, Problems in view."""
    found = re.search(r'<pre id="layout-check">([^<]*)</pre>', dump)
    if found is None or not found.group(1):
        fail(name + ": the layout script wrote nothing")
    layout = json.loads(found.group(1).replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">")
                        .replace("&quot;", '"'))
    if layout["pageWidth"] > layout["width"] or layout["wide"]:
        fail("%s at %d px: the page is %d px wide; wider than the screen: %s"
             % (name, layout["width"], layout["pageWidth"], ", ".join(layout["wide"])))
    if not layout["problemsVisible"]:
        fail("%s at %d px: the totals' Problems column is out of view" % (name, layout["width"]))
    for (day, location), kinds in marks.marks.items():
        for kind, drawn in kinds.items():
            laid = layout["drawn"].get("%s|%s|%s" % (day, location, kind), 0)
            if laid != sum(count for _, count in drawn):
                fail("%s at %d px: %s %s %s: %d laid out, %d in the page"
                     % (name, layout["width"], day, location, kind, laid, sum(c for _, c in drawn)))
    return layout["width"]


def main():
    page_path, json_path, screenshot = sys.argv[1:4]
    page = open(page_path, encoding="utf-8").read()
    references = external_references(page)
    if references:
        fail("the page references something outside itself: " + ", ".join(references))
    model = json.load(open(json_path, encoding="utf-8"))

    marks = Marks()
    marks.feed(page)
    checked = check_marks(marks, model)
    if checked == 0:
        fail("nothing was drawn")
    epochs = EPOCH.findall(" ".join(marks.text))
    if epochs:
        fail("seconds since 1970 in the page's text: " + ", ".join(epochs[:5]))
    for kind in ALL_KINDS:
        if 'class="%s"' % kind not in page.split('class="legend"', 1)[-1].split("</details>", 1)[0]:
            fail("no legend entry for " + kind)
    widths = []
    for dump in sys.argv[4:]:
        widths.append(check_layout(marks, open(dump, encoding="utf-8").read(), dump))

    colours = distinct_pixels(screenshot)
    if colours < 8:
        fail("the screenshot is blank (%d colours)" % colours)
    kinds = sorted({p["kind"] for day in model["location_days"] for p in day["problems"]})
    print("browser check: %d marks of %d location-days as the model says (%d kinds: %s), laid out at %s px, "
          "%d colours on the screenshot"
          % (checked, len(model["location_days"]), len(kinds), " ".join(kinds),
             " and ".join(str(w) for w in widths), colours))


if __name__ == "__main__":
    main()
