#!/usr/bin/env python3
"""Writes a static partner site of N pages for the crawl benchmark.

Pages are ~8 KB with 20 to 40 links each: relative ("x.htm", "./x.htm", "../x.htm"), "/abs",
absolute to the same host, some with a "#fragment", external hosts, mailto and javascript links,
spread over a few directories and several page types. Exactly one page, late in breadth-first
order, links to the Main Site.

Usage: gen_site.py ROOT PREFIX N MAIN_SITE_URL
  ROOT    folder served as the web root
  PREFIX  path under the host, e.g. "s2000" (pages live in ROOT/PREFIX/...)
Prints the URL list in breadth-first order from the start page, one per line, on stdout.
"""
import os
import random
import sys
from collections import deque

DIRS = ["", "a/", "b/", "a/c/", "d/"]
EXTS = [".htm", ".html", ".php", ".asp", ".shtml"]


def page_path(i):
    if i == 0:
        return "index.htm"
    return f"{DIRS[i % len(DIRS)]}p{i}{EXTS[i % len(EXTS)]}"


def rel_link(src, dst):
    """A relative href from page src to page dst (both paths under the prefix)."""
    src_dir = src.rsplit("/", 1)[0] + "/" if "/" in src else ""
    if dst.startswith(src_dir) and src_dir:
        return dst[len(src_dir):]
    if not src_dir:
        return dst
    ups = src_dir.count("/")
    return "../" * ups + dst


def main():
    root, prefix, n, main_site = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    rng = random.Random(n)
    host = "localhost"
    # A spanning tree in breadth-first order: page i is first linked from page (i - 1) // 8, so
    # the breadth-first order from the start page is 0, 1, 2, ...
    children = {i: [] for i in range(n)}
    for i in range(1, n):
        children[(i - 1) // 8].append(i)
    target = n - max(2, n // 20)  # late in breadth-first order
    filler = ("Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
              "incididunt ut labore et dolore magna aliqua. ")
    for i in range(n):
        path = page_path(i)
        links = []
        for c in children[i]:
            kind = c % 3
            dst = page_path(c)
            if kind == 0:
                links.append(rel_link(path, dst))
            elif kind == 1:
                links.append(f"/{prefix}/{dst}")
            else:
                links.append(f"http://{host}/{prefix}/{dst}")
        want = rng.randint(20, 40)
        while len(links) < want:
            r = rng.random()
            # Only pages already reachable earlier, so the breadth-first order of the crawl is
            # the page numbering and the Main Site link stays late.
            j = rng.randrange(i + 1)
            if r < 0.35:
                links.append(rel_link(path, page_path(j)))
            elif r < 0.5:
                links.append(f"/{prefix}/{page_path(j)}")
            elif r < 0.6:
                links.append(f"http://{host}/{prefix}/{page_path(j)}")
            elif r < 0.75:
                links.append(f"http://www.partner{rng.randrange(500)}.org/page{j}.htm")
            elif r < 0.82:
                links.append(f"mailto:webmaster{j}@example.org")
            elif r < 0.88:
                links.append(f"javascript:openWindow({j})")
            elif r < 0.94:
                links.append(f"/{prefix}/{DIRS[j % len(DIRS)]}")
            else:
                links.append(f"/{prefix}/img/pic{j}.jpg")
        # Spellings of today's sites: "./" before a link into the same directory, fragments.
        for k, href in enumerate(links):
            if "/" not in href and ":" not in href and k % 3 == 0:
                href = "./" + href
            if not href.startswith(("mailto:", "javascript:")) and k % 5 == 0:
                href += f"#part{k}"
            links[k] = href
        rng.shuffle(links)
        body = [f"<html><head><title>Page {i}</title></head><body>\n<h1>Page {i}</h1>\n"]
        for k, href in enumerate(links):
            quote = '"' if k % 2 else "'"
            body.append(f"<p>{filler[: 60 + (k * 7) % 80]}<a href={quote}{href}{quote}>link {k}</a></p>\n")
        if i == target:
            body.append(f'<p>Our partner: <a href="http://{main_site}/">Main Site</a></p>\n')
        text = "".join(body)
        while len(text) < 8000:
            text += f"<p>{filler}</p>\n"
        text += "</body></html>\n"
        full = os.path.join(root, prefix, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write(text)
    # Directory index pages so directory links answer.
    for d in DIRS:
        full = os.path.join(root, prefix, d, "index.html")
        if not os.path.exists(full):
            with open(full, "w") as f:
                f.write("<html><body>Directory</body></html>\n")
    order = deque([0])
    seen = {0}
    while order:
        i = order.popleft()
        print(f"{host}/{prefix}/{page_path(i)}")
        for c in children[i]:
            if c not in seen:
                seen.add(c)
                order.append(c)


if __name__ == "__main__":
    main()
