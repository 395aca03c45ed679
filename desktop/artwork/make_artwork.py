#!/usr/bin/env python3
"""Draws the program's artwork: the icon (corvane.svg and its PNG sizes) and the picture of the
start and about windows (splash.svg, splash.png). Standard library plus rsvg-convert (Debian's
librsvg2-bin), so the pictures can be rebuilt anywhere:

    python3 data/artwork/make_artwork.py

The icon is two chain links held together with a check mark: a link exchange that holds. The
start picture shows the icon beside a small web of partner pages, some of them checked.
"""

import os
import random
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

ICON_DEFS = """
    <linearGradient id="bg" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#1f6f8b"/>
      <stop offset="1" stop-color="#163a5f"/>
    </linearGradient>
    <linearGradient id="linkA" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#ffffff"/>
      <stop offset="1" stop-color="#cfe3ef"/>
    </linearGradient>
    <linearGradient id="badge" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#5ccf6b"/>
      <stop offset="1" stop-color="#2e9e44"/>
    </linearGradient>"""

ICON_BODY = """
  <rect x="8" y="8" width="240" height="240" rx="48" ry="48" fill="url(#bg)"/>
  <rect x="8" y="8" width="240" height="120" rx="48" ry="48" fill="#ffffff" opacity="0.06"/>
  <g transform="rotate(-45 128 128)" fill="none" stroke-linecap="round">
    <rect x="40" y="98" width="108" height="60" rx="30" ry="30" stroke="url(#linkA)" stroke-width="18"/>
    <rect x="108" y="98" width="108" height="60" rx="30" ry="30" stroke="#f2b632" stroke-width="18"/>
    <path d="M 118 98 L 148 98" stroke="url(#linkA)" stroke-width="18"/>
  </g>
  <circle cx="190" cy="190" r="44" fill="url(#badge)" stroke="#ffffff" stroke-width="8"/>
  <path d="M 168 191 L 184 207 L 213 175" fill="none" stroke="#ffffff" stroke-width="12"
        stroke-linecap="round" stroke-linejoin="round"/>"""


def icon_svg():
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<!-- The program icon; made by make_artwork.py. -->\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">\n'
            f'  <defs>{ICON_DEFS}\n  </defs>{ICON_BODY}\n</svg>\n')


def splash_svg():
    width, height = 560, 320
    rng = random.Random(7)  # fixed, so the picture is the same at every rebuild
    nodes = []
    while len(nodes) < 16:
        x, y = rng.uniform(250, 540), rng.uniform(30, 290)
        if all((x - a) ** 2 + (y - b) ** 2 > 55 ** 2 for a, b in nodes):
            nodes.append((x, y))
    edges = set()
    for i, (x, y) in enumerate(nodes):
        nearest = sorted(range(len(nodes)), key=lambda j: (nodes[j][0] - x) ** 2 + (nodes[j][1] - y) ** 2)
        for j in nearest[1:3]:
            edges.add(tuple(sorted((i, j))))
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<!-- The start and about picture; made by make_artwork.py. -->',
           f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
           f'viewBox="0 0 {width} {height}">',
           f'<defs>{ICON_DEFS}',
           '<linearGradient id="sky" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#1f6f8b"/>'
           '<stop offset="1" stop-color="#10294a"/></linearGradient></defs>',
           f'<rect width="{width}" height="{height}" fill="url(#sky)"/>']
    for k, (i, j) in enumerate(sorted(edges)):
        (x1, y1), (x2, y2) = nodes[i], nodes[j]
        colour = '#f2b632' if k % 3 == 0 else '#8fb8d0'
        out.append(f'<line x1="{x1:.1f}" y1="{y1:.1f}" x2="{x2:.1f}" y2="{y2:.1f}" stroke="{colour}" '
                   'stroke-width="2.5" opacity="0.8"/>')
    for k, (x, y) in enumerate(nodes):
        out.append(f'<rect x="{x - 13:.1f}" y="{y - 16:.1f}" width="26" height="32" rx="3" fill="#ffffff" '
                   'opacity="0.92"/>')
        for row in range(3):
            out.append(f'<rect x="{x - 8:.1f}" y="{y - 10 + row * 7:.1f}" width="{16 if row < 2 else 10}" '
                       'height="3" fill="#7a9bb3"/>')
        if k % 4 == 0:
            out.append(f'<circle cx="{x + 12:.1f}" cy="{y + 13:.1f}" r="8" fill="#3dbb55" stroke="#ffffff" '
                       'stroke-width="2"/>')
            out.append(f'<path d="M {x + 8:.1f} {y + 13:.1f} l 3 3 l 5 -6" fill="none" stroke="#ffffff" '
                       'stroke-width="2" stroke-linecap="round"/>')
    out.append(f'<g transform="translate(40 64) scale(0.75)">{ICON_BODY}</g>')
    out.append('</svg>')
    return '\n'.join(out) + '\n'


def render(svg, png, size=None):
    args = ['rsvg-convert', svg, '-o', png]
    if size:
        args[1:1] = ['-w', str(size), '-h', str(size)]
    subprocess.run(args, check=True)


def main():
    with open(os.path.join(HERE, 'corvane.svg'), 'w') as f:
        f.write(icon_svg())
    with open(os.path.join(HERE, 'splash.svg'), 'w') as f:
        f.write(splash_svg())
    for size in ICON_SIZES:
        render(os.path.join(HERE, 'corvane.svg'), os.path.join(HERE, f'corvane-{size}.png'), size)
    render(os.path.join(HERE, 'splash.svg'), os.path.join(HERE, 'splash.png'))


if __name__ == '__main__':
    main()
