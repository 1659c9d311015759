#!/usr/bin/env python3
"""Checks an audit page as headless chromium rendered it against the audit's
own JSON: bars and red marks per location-day, titles naming the files, nothing
referenced outside the page, and a screenshot that is not blank.

usage: browser_check.py PAGE DOM JSON SCREENSHOT"""

import json
import re
import struct
import sys
import zlib
from html.parser import HTMLParser


class Marks(HTMLParser):
    """Collects the marks of each location row of each day's timeline: for
    each kind a list of (title, how many recordings the mark stands for)."""

    def __init__(self):
        super().__init__()
        self.day = None
        self.groups = []  # open <g> elements: a location, a count, or neither
        self.rect = None
        self.title = None
        self.marks = {}  # (day, location) -> {"bar": [...], "norow": [...]}

    def location(self):
        return next((value for kind, value in reversed(self.groups) if kind == "location"), None)

    def count(self):
        return next((value for kind, value in reversed(self.groups) if kind == "count"), 1)

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "details" and "data-day" in attrs:
            self.day = attrs["data-day"]
        elif tag == "g":
            if "data-location" in attrs:
                self.groups.append(("location", attrs["data-location"]))
                self.marks.setdefault((self.day, attrs["data-location"]), {"bar": [], "norow": []})
            elif "data-count" in attrs:
                self.groups.append(("count", int(attrs["data-count"])))
            else:
                self.groups.append(("other", None))
        elif tag == "rect" and self.location() is not None:
            self.rect = attrs.get("class")
        elif tag == "title" and self.rect is not None:
            self.title = ""

    def handle_data(self, data):
        if self.title is not None:
            self.title += data

    def handle_endtag(self, tag):
        if tag == "title" and self.title is not None:
            kinds = self.marks[(self.day, self.location())]
            if self.rect in kinds:
                kinds[self.rect].append((self.title, self.count()))
            self.title = None
        elif tag == "rect":
            self.rect = None
        elif tag == "g" and self.groups:
            self.groups.pop()


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


def main():
    page_path, dom_path, json_path, screenshot = sys.argv[1:5]
    page = open(page_path, encoding="utf-8").read()
    references = external_references(page)
    if references:
        fail("the page references something outside itself: " + ", ".join(references))

    marks = Marks()
    marks.feed(open(dom_path, encoding="utf-8").read())
    model = json.load(open(json_path, encoding="utf-8"))
    checked = 0
    for day in model["location_days"]:
        key = (day["day"], day["location"])
        drawn = marks.marks.get(key)
        if drawn is None:
            fail("no timeline row for %s location %s" % key)
        if len(drawn["bar"]) != len(day["intervals"]):
            fail("%s location %s: %d bars drawn, %d intervals" % (key + (len(drawn["bar"]), len(day["intervals"]))))
        unlisted = [p for p in day["problems"] if p["kind"] in ("no_row", "unreadable") and "range" in p]
        names = [p["name"] for p in unlisted]
        stands_for = sum(count for _, count in drawn["norow"])
        if stands_for != len(unlisted):
            fail("%s location %s: red marks for %d recordings, %d without a row" % (key + (stands_for, len(unlisted))))
        for title, count in drawn["norow"]:
            if count == 1 and not any(title.startswith(name + ":") for name in names):
                fail("a red mark titled with no such recording: " + title)
            if count > 1 and sum(name in title for name in names) < 2:
                fail("a red mark for %d recordings names neither end: %s" % (count, title))
        if all(count == 1 for _, count in drawn["norow"]):
            for name in names:
                if not any(title.startswith(name + ":") for title, _ in drawn["norow"]):
                    fail("no red mark titled with " + name)
        for interval in day["intervals"]:
            if interval["files"] and not any(interval["first_file"] in title for title, _ in drawn["bar"]):
                fail("no bar titled with " + interval["first_file"])
        checked += len(drawn["bar"]) + stands_for
    if checked == 0:
        fail("nothing was drawn")

    colours = distinct_pixels(screenshot)
    if colours < 8:
        fail("the screenshot is blank (%d colours)" % colours)
    print("browser check: %d marks of %d location-days as the model says, %d colours on the screenshot"
          % (checked, len(model["location_days"]), colours))


if __name__ == "__main__":
    main()
