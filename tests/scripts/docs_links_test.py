#!/usr/bin/env python3
"""Every relative link and image in README.md and docs/*.md must lead somewhere.

A link to a file must name a file or folder of the repository; a link with a
#fragment must name a heading of its page as GitHub anchors it. Links in code
(fenced blocks, `inline`) are text, not links, and are skipped; so are links
with a scheme (https:, mailto:).

    python3 tests/scripts/docs_links_test.py [ROOT]
"""
import os
import re
import sys
import tempfile

LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(\s*<?([^()\s>]+)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE = re.compile(r"^\s{0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s+.*)?$", re.M)
FENCE = re.compile(r"^\s*(```|~~~)")
HEADING = re.compile(r"^\s{0,3}#{1,6}\s+(.*?)\s*#*\s*$")


def prose_lines(text):
    """The lines outside fenced code blocks, with inline code blanked out."""
    fenced = None
    for number, line in enumerate(text.split("\n"), 1):
        match = FENCE.match(line)
        if match:
            if fenced is None:
                fenced = match.group(1)
            elif fenced == match.group(1):
                fenced = None
            continue
        if fenced is None:
            yield number, re.sub(r"`[^`]*`", "``", line)


def anchors(text):
    """The anchors GitHub gives the headings of a page."""
    seen = {}
    result = set()
    for _, line in prose_lines(text):
        match = HEADING.match(line)
        if not match:
            continue
        slug = match.group(1).strip().lower()
        slug = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", slug)
        slug = "".join(c for c in slug if c.isalnum() or c in " -_")
        slug = slug.replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        result.add(slug if count == 0 else f"{slug}-{count}")
    return result


def links(text):
    for number, line in prose_lines(text):
        for match in LINK.finditer(line):
            yield number, match.group(1)
        for match in REFERENCE.finditer(line):
            yield number, match.group(1)


def pages(root):
    found = [os.path.join(root, "README.md")]
    docs = os.path.join(root, "docs")
    if os.path.isdir(docs):
        found += sorted(
            os.path.join(docs, name) for name in os.listdir(docs) if name.endswith(".md")
        )
    return [page for page in found if os.path.isfile(page)]


def broken_links(root):
    """(page, line, target, why) for each link that leads nowhere, and the count of links."""
    broken = []
    count = 0
    texts = {}

    def text_of(path):
        if path not in texts:
            with open(path, encoding="utf-8") as f:
                texts[path] = f.read()
        return texts[path]

    for page in pages(root):
        for number, target in links(text_of(page)):
            if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:", target):
                continue
            count += 1
            path, _, fragment = target.partition("#")
            if path.startswith("/"):
                broken.append((page, number, target, "an absolute path"))
                continue
            resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            if not os.path.abspath(resolved).startswith(os.path.abspath(root) + os.sep):
                broken.append((page, number, target, "leads out of the repository"))
            elif not os.path.exists(resolved):
                broken.append((page, number, target, "no such file"))
            elif fragment and resolved.endswith(".md") and os.path.isfile(resolved):
                if fragment not in anchors(text_of(resolved)):
                    broken.append((page, number, target, "no such heading"))
    return broken, count


def self_check():
    """The checker must see a broken link, image and heading in a made-up page."""
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(os.path.join(root, "docs", "images"))
        with open(os.path.join(root, "docs", "images", "a.png"), "w") as f:
            f.write("")
        with open(os.path.join(root, "docs", "b.md"), "w", encoding="utf-8") as f:
            f.write("# Before the copy\n\n## Before the copy\n\nback to [top](../README.md#top-page)\n")
        with open(os.path.join(root, "README.md"), "w", encoding="utf-8") as f:
            f.write(
                "# Top page\n\n![ok](docs/images/a.png) ![gone](docs/images/b.png)\n"
                "[ok](docs/b.md#before-the-copy-1) [gone](docs/b.md#after-the-copy)\n"
                "`[code](nowhere.md)` [web](https://example.com/x) [missing](docs/c.md)\n"
                "```\n[fenced](nowhere.md)\n```\n"
            )
        broken, count = broken_links(root)
        got = sorted(target for _, _, target, _ in broken)
        want = ["docs/b.md#after-the-copy", "docs/c.md", "docs/images/b.png"]
        if got != want or count != 6:
            sys.exit(f"docs links: the checker itself is wrong: found {got} in {count} links")


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ".")
    self_check()
    broken, count = broken_links(root)
    for page, number, target, why in broken:
        print(f"{os.path.relpath(page, root)}:{number}: {target}: {why}", file=sys.stderr)
    if broken:
        sys.exit(f"docs links: {len(broken)} of {count} relative links lead nowhere")
    if count == 0:
        sys.exit("docs links: no relative link found; the pages or the checker are wrong")
    print(f"docs links: all {count} relative links of {len(pages(root))} pages resolve")


if __name__ == "__main__":
    main()
