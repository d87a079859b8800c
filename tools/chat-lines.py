#!/usr/bin/python3
"""Prints a chat post as a strict CommonMark reader shows it: one line per line it keeps apart
(a hard break or a new block), the text of each as shown, a link as [link HREF]. A blank line
stands between blocks.

Usage: tools/chat-lines.py POST_FILE"""
import sys

from markdown_it import MarkdownIt


def main():
    post = open(sys.argv[1], encoding="utf-8").read()
    lines = []
    for token in MarkdownIt("commonmark").parse(post):
        if token.type in ("paragraph_open", "hr"):
            lines.append("")
        if token.type == "hr":
            lines.append("---")
        if token.type != "inline":
            continue
        line = ""
        for child in token.children or []:
            if child.type in ("text", "code_inline"):
                line += child.content
            elif child.type == "softbreak":
                line += " "  # a strict reader joins the lines
            elif child.type == "hardbreak":
                lines.append(line)
                line = ""
            elif child.type == "link_open":
                line += "[link " + child.attrs.get("href", "") + "]"
        lines.append(line)
    print("\n".join(lines).strip("\n"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
