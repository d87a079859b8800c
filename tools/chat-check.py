#!/usr/bin/python3
"""Checks a chat post the way a chat shows it: parses each message with a CommonMark parser
(markdown-it-py) and finds every node that would format, link, quote or run text. Only the
post's own bold headings and its numbered podium are allowed; every name must come out as
plain text, mentions and links broken.

Usage: tools/chat-check.py POST_FILE NAMES_JSON [PAGE_URL]
NAMES_JSON holds a list of the names (and codes) that must appear as plain text. PAGE_URL, the
organiser's page address, is the one link allowed.
Exit status 0 when the post passes, 1 with the problems listed otherwise."""
import json
import sys

from markdown_it import MarkdownIt

LIMIT = 2000
ZWSP = "\u200b"
SEPARATOR = "\n\n---\n\n"
HEADINGS = ("Dustline Rally 2.0: ranking of ", "Biggest movers", "Records broken",
            "New drivers", "First points", "Back in the standings", "Left", "Decisions",
            "Under review")
ALLOWED = {"paragraph_open", "paragraph_close", "inline", "text", "softbreak", "hardbreak",
           "strong_open", "strong_close", "ordered_list_open", "ordered_list_close",
           "list_item_open", "list_item_close"}


def inline_text(children):
    """The visible text of an inline token, and the texts inside its bold parts. The page's
    link is left out."""
    text, bold, inside, linked = [], [], None, False
    for child in children:
        if child.type in ("link_open", "link_close"):
            linked = child.type == "link_open"
        elif linked:
            continue
        elif child.type == "strong_open":
            inside = []
        elif child.type == "strong_close":
            bold.append("".join(inside))
            inside = None
        elif child.type in ("text", "softbreak", "hardbreak"):
            piece = child.content if child.type == "text" else "\n"
            text.append(piece)
            if inside is not None:
                inside.append(piece)
    return "".join(text), bold


def main():
    post = open(sys.argv[1], encoding="utf-8").read()
    names = json.load(open(sys.argv[2], encoding="utf-8"))
    page_url = sys.argv[3] if len(sys.argv) > 3 else None
    parser = MarkdownIt("commonmark").enable(["strikethrough", "table"])
    problems, visible = [], []
    for number, message in enumerate(post.rstrip("\n").split(SEPARATOR), 1):
        if len(message) > LIMIT:
            problems.append(f"message {number}: {len(message)} characters")
        for token in parser.parse(message):
            nodes = [token] + list(token.children or [])
            for node in nodes:
                page_link = node.type == "link_close" or (
                    node.type == "link_open" and page_url is not None
                    and node.attrs.get("href") == page_url)
                if node.type not in ALLOWED and not page_link:
                    problems.append(f"message {number}: a {node.type} node: {node.content!r}")
            if token.type == "inline":
                text, bold = inline_text(token.children or [])
                visible.append(text)
                for part in bold:
                    if not part.startswith(HEADINGS):
                        problems.append(f"message {number}: bold text {part!r}")
    shown = "\n".join(visible)
    if "://" in shown:
        problems.append("a link survives: '://' in the text")
    if any(shown[i + 1:i + 2] != ZWSP for i, c in enumerate(shown) if c == "@"):
        problems.append("a mention survives: '@' without a zero-width space after it")
    plain = shown.replace(ZWSP, "")
    for name in names:
        if name.strip(" ") not in plain:
            problems.append(f"not shown as plain text: {name!r}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
