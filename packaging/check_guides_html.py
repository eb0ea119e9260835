#!/usr/bin/env python3
"""Opens the HTML guides of an unpacked release archive and checks them
against the guides in docs/: UTF-8 declared, a title, every heading of the
guide, in order, and every code sample with its text intact.
  packaging/check_guides_html.py DIR
Prints one line per guide; exits 1 with the problems when there are any."""
import re
import sys
from html.parser import HTMLParser
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
GUIDES = {"integration-guide-en.html": "docs/integration.md", "integration-guide-ru.html": "docs/integration.ru.md"}
FENCE = re.compile(r"^ {0,3}(```|~~~)")


class Page(HTMLParser):
    """The charset, the title, the headings' texts and the pre blocks' texts."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.charset, self.title, self.headings, self.blocks = None, "", [], []
        self.open = None  # "title", "heading" or "pre" while inside one

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "meta" and attrs.get("charset"):
            self.charset = attrs["charset"].lower()
        elif tag == "title":
            self.open = "title"
        elif re.fullmatch(r"h[1-6]", tag) and self.open is None:
            self.open = "heading"
            self.headings.append("")
        elif tag == "pre":
            self.open = "pre"
            self.blocks.append("")

    def handle_endtag(self, tag):
        if (tag == "title" and self.open == "title") or (re.fullmatch(r"h[1-6]", tag) and self.open == "heading") or (
                tag == "pre" and self.open == "pre"):
            self.open = None

    def handle_data(self, data):
        if self.open == "title":
            self.title += data
        elif self.open == "heading":
            self.headings[-1] += data
        elif self.open == "pre":
            self.blocks[-1] += data


def source(path):
    """The headings' texts (inline marks left out) and the code blocks' texts of a guide."""
    headings, blocks, block = [], [], None
    for line in path.read_text(encoding="utf-8").split("\n"):
        if block is not None:
            if FENCE.match(line):
                blocks.append("\n".join(block))
                block = None
            else:
                block.append(line)
        elif FENCE.match(line):
            block = []
        elif re.match(r"^#{1,6}\s", line):
            headings.append(re.sub(r"[`*]", "", line.lstrip("#").strip()))
    return headings, blocks


def words(text):
    return " ".join(text.split())


def main():
    folder = Path(sys.argv[1])
    problems = []
    for page_name, guide in GUIDES.items():
        before = len(problems)
        page_path = folder / page_name
        if not page_path.is_file():
            problems.append(f"{page_name}: missing")
            continue
        page = Page()
        page.feed(page_path.read_bytes().decode("utf-8"))
        if page.charset != "utf-8":
            problems.append(f"{page_name}: charset {page.charset}, not utf-8")
        if not page.title.strip():
            problems.append(f"{page_name}: no title")
        headings, blocks = source(ROOT / guide)
        found = [words(h) for h in page.headings]
        at = 0
        for heading in headings:
            if words(heading) in found[at:]:
                at = found.index(words(heading), at) + 1
            else:
                problems.append(f"{page_name}: the heading \"{heading}\" of {guide} is not there (in its place)")
        if [b.rstrip("\n") for b in page.blocks] != blocks:
            problems.append(f"{page_name}: its {len(page.blocks)} code samples are not the {len(blocks)} of {guide}, "
                            "text for text")
        if len(problems) == before:
            print(f"{page_name}: utf-8, titled \"{page.title}\", its {len(headings)} headings and {len(blocks)} code "
                  f"samples as in {guide}")
    for problem in problems:
        print(f"check_guides_html: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
