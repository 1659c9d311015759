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
    """Counts the marks of each location row of each day's timeline."""

    def __init__(self):
        super().__init__()
        self.day = None
        self.location = None
        self.rect = None
        self.title = None
        self.marks = {}  # (day, location) -> {"bar": [titles], "norow": [titles]}

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "details" and "data-day" in attrs:
            self.day = attrs["data-day"]
        elif tag == "g" and "data-location" in attrs:
            self.location = attrs["data-location"]
            self.marks.setdefault((self.day, self.location), {"bar": [], "norow": []})
        elif tag == "rect" and self.location is not None:
            self.rect = attrs.get("class")
        elif tag == "title" and self.rect is not None:
            self.title = ""

    def handle_data(self, data):
        if self.title is not None:
            self.title += data

    def handle_endtag(self, tag):
        if tag == "title" and self.title is not None:
            kinds = self.marks[(self.day, self.location)]
            if self.rect in kinds:
                kinds[self.rect].append(self.title)
            self.title = None
        elif tag == "rect":
            self.rect = None
        elif tag == "g":
            self.location = None


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
        unlisted = [p for p in day["problems"] if p["kind"] == "no_row" and "range" in p]
        if len(drawn["norow"]) != len(unlisted):
            fail("%s location %s: %d red marks, %d recordings without a row" % (key + (len(drawn["norow"]), len(unlisted))))
        for problem in unlisted:
            if not any(title.startswith(problem["name"]) for title in drawn["norow"]):
                fail("no red mark titled with " + problem["name"])
        for interval in day["intervals"]:
            if interval["files"] and not any(interval["first_file"] in title for title in drawn["bar"]):
                fail("no bar titled with " + interval["first_file"])
        checked += len(drawn["bar"]) + len(drawn["norow"])
    if checked == 0:
        fail("nothing was drawn")

    colours = distinct_pixels(screenshot)
    if colours < 8:
        fail("the screenshot is blank (%d colours)" % colours)
    print("browser check: %d marks of %d location-days as the model says, %d colours on the screenshot"
          % (checked, len(model["location_days"]), colours))


if __name__ == "__main__":
    main()
