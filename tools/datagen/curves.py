#!/usr/bin/python3
"""Curve preset pictures: data/resources/curve_0.jpg ... curve_16.jpg.

Each picture (64 x 64 JPEG, quality 95) draws the transfer curve of one curve
profile of the DEFORMER panel: input -1 ... +1 left to right, output -1 ... +1
bottom to top, on the dark frame colour with a faint grid and axes.  Profile 0
has no control points (the deformer passes its source through), so its
picture shows the identity diagonal dashed and dim.  The terrace preset
buttons reuse the same pictures, so nothing but the curve is drawn.

Between control points the curve is evaluated like libnoise's Curve module:
find the first control point whose input is greater than x, take the four
neighbouring points (indices clamped to the array), return the end point's
output when the two middle ones coincide (x outside the points), otherwise
cubic-interpolate the four outputs with alpha measured between the middle two.

Used by make_data.py.
"""

from pathlib import Path

import numpy as np
from PIL import Image, ImageDraw

SIZE = 64
SS = 8  # supersampling factor for anti-aliasing
QUALITY = 95

BACKGROUND = (40, 40, 40)
GRID = (54, 54, 54)
AXIS = (78, 78, 78)
CURVE = (240, 240, 240)
IDENTITY = (120, 120, 120)

# input -> output control points of profiles 1 ... 16 (profile 0 has none)
PROFILES = [
    [],
    [(-1, -1), (-0.9, -0.9), (-0.8, -0.9), (-0.7, -0.94), (-0.6, -1), (-0.5, -0.85),
     (-0.45, -0.7), (-0.4, -0.3), (-0.36, 0.2), (-0.3, 0.8), (-0.23, 0.8), (-0.1, 0.75),
     (0, 0.3), (0.1, -0.3), (0.15, -0.7), (0.35, -0.95), (1, -1)],
    [(-1, 1), (-0.85, 0.85), (-0.7, 0.6), (-0.55, 0.1), (-0.4, -0.35), (-0.25, -0.7),
     (-0.15, -0.9), (0, -1), (0.15, -0.9), (0.25, -0.7), (0.4, -0.35), (0.55, 0.1),
     (0.7, 0.6), (0.85, 0.85), (1, 1)],
    [(-1, -1), (-0.8, -0.8), (-0.55, 0.67), (-0.3, -0.6), (0.05, -0.6), (0.3, -0.62),
     (0.45, -0.33), (0.601, -0.1), (0.602, 0.3), (0.603, 0.66), (0.62, 0.9), (0.68, 0.95),
     (0.8, 0.92), (1, 1)],
    [(-1, -1), (-0.9, -0.7), (-0.82, -0.4), (-0.75, -0.25), (-0.62, -0.3), (-0.52, -0.4),
     (-0.4, -0.1), (-0.3, 0.2), (-0.1, -0.1), (0.05, 0.2), (0.2, 0.6), (0.4, 0.2),
     (0.5, 0.32), (0.55, 0.6), (0.62, 0.94), (0.7, 0.9), (0.9, 0.6), (1, 0.48)],
    [(-1, -1), (-0.9, -0.9), (-0.83, -0.83), (-0.6, -0.78), (-0.35, -0.6), (-0.2, -0.32),
     (0, 0), (0.2, 0), (0.4, 0.1), (0.65, 0.3), (0.8, 0.55), (0.9, 0.8), (1, 1)],
    [(-1, -1), (-0.8, -0.65), (-0.65, -0.2), (-0.5, 0.4), (-0.4, 0.7), (-0.3, 0.88),
     (-0.2, 0.94), (-0.12, 0.87), (-0.075, 0.73), (0, 0.6), (0.075, 0.73), (0.12, 0.87),
     (0.2, 0.94), (0.3, 0.88), (0.4, 0.7), (0.5, 0.4), (0.65, -0.2), (0.8, -0.65), (1, -1)],
    [(-0.9, -1), (-0.73, -0.75), (-0.55, -0.35), (-0.4, -0.1), (-0.3, -0.05), (-0.1, -0.05),
     (0.18, -0.01), (0.35, 0.04), (0.55, 0.33), (0.7, 0.67), (0.81, 0.85), (0.9, 0.95),
     (1, 1)],
    [(-1, 0), (-0.81, -0.27), (-0.72, -0.55), (-0.6, -0.82), (-0.5, -1), (-0.3, -0.9),
     (-0.1, -0.65), (0.2, -0.1), (0.6, 0.6), (0.73, 0.89), (0.83, 0.95), (1, 1)],
    [(-1, -1), (-0.85, -0.72), (-0.6, -0.4), (-0.3, -0.2), (-0.11, -0.16), (0, -0.18),
     (0.07, 0), (0.2, 0.26), (0.42, 0.53), (0.6, 0.75), (0.78, 0.88), (1, 0.91)],
    [(-1, 0.95), (-0.68, 0.9), (-0.4, 0.7), (-0.3, 0.55), (-0.23, 0.38), (-0.19, 0.1),
     (-0.16, -0.2), (-0.1, -0.6), (-0.08, -0.82), (-0.04, -0.91), (0, -0.94), (0.04, -0.91),
     (0.08, -0.82), (0.1, -0.6), (0.16, -0.2), (0.19, 0.1), (0.23, 0.38), (0.3, 0.55),
     (0.4, 0.7), (0.68, 0.9), (1, 0.95)],
    [(-1, -1), (-0.9, -0.65), (-0.73, -0.28), (-0.52, 0.15), (-0.25, 0.52), (0, 0.77),
     (0.28, 0.88), (0.5, 0.93), (0.79, 0.97), (1, 1)],
    [(-1, -1), (-0.8, -0.76), (-0.43, -0.27), (-0.18, 0), (-0.1, 0.13), (0.02, 0.08),
     (0.07, -0.02), (0.08, -0.33), (0.11, -0.74), (0.14, -0.96), (0.2, -0.88), (0.23, -0.66),
     (0.29, -0.22), (0.32, 0.1), (0.5, 0.24), (0.61, 0.42), (0.77, 0.75), (0.85, 0.87),
     (1, 1)],
    [(0, 0), (0.2, 0.5), (0.4, 0.6), (0.7, 0.65), (1, 0.65)],
    [(-1, -1), (-0.5, 0.75), (0, 0), (0.5, -0.75), (1, 1)],
    [(-1, -1), (-0.25, 0.95), (0, 0.4), (0.5, -0.25), (1, 0.8)],
    [(-1, -1), (-0.75, 1), (0, -0.7), (0.75, 1), (1, -1)],
]
assert len(PROFILES) == 17


def cubic_interp(n0, n1, n2, n3, a):
    p = (n3 - n2) - (n0 - n1)
    q = (n0 - n1) - p
    r = n2 - n0
    s = n1
    return p * a * a * a + q * a * a + r * a + s


def curve_value(points, x):
    """Output of a libnoise-style Curve with these control points for input x."""
    pts = sorted(points)
    n = len(pts)
    pos = 0
    while pos < n and not x < pts[pos][0]:
        pos += 1
    clamp = lambda i: min(max(i, 0), n - 1)
    i0, i1, i2, i3 = clamp(pos - 2), clamp(pos - 1), clamp(pos), clamp(pos + 1)
    if i1 == i2:
        return float(pts[i1][1])
    x0, x1 = pts[i1][0], pts[i2][0]
    a = (x - x0) / (x1 - x0)
    return cubic_interp(pts[i0][1], pts[i1][1], pts[i2][1], pts[i3][1], a)


def _frame():
    big = SIZE * SS
    img = Image.new("RGB", (big, big), BACKGROUND)
    d = ImageDraw.Draw(img)
    return img, d


# plot area: one pixel of margin keeps the +-1 lines inside the picture
MARGIN = 3.0


def to_px(x, y):
    span = SIZE - 2 * MARGIN
    px = MARGIN + (x + 1.0) * 0.5 * span
    py = MARGIN + (1.0 - y) * 0.5 * span
    return px * SS, py * SS


def draw_grid(d):
    for v in (-0.5, 0.5):
        x0, y0 = to_px(v, -1)
        x1, y1 = to_px(v, 1)
        d.line([(x0, y0), (x1, y1)], fill=GRID, width=SS)
        x0, y0 = to_px(-1, v)
        x1, y1 = to_px(1, v)
        d.line([(x0, y0), (x1, y1)], fill=GRID, width=SS)
    for v in (-1.0, 1.0):
        d.line([to_px(v, -1), to_px(v, 1)], fill=GRID, width=SS)
        d.line([to_px(-1, v), to_px(1, v)], fill=GRID, width=SS)
    d.line([to_px(0, -1), to_px(0, 1)], fill=AXIS, width=SS)
    d.line([to_px(-1, 0), to_px(1, 0)], fill=AXIS, width=SS)


def _stroke(d, pts, colour, width):
    d.line(pts, fill=colour, width=width, joint="curve")
    r = width / 2.0
    for px, py in (pts[0], pts[-1]):
        d.ellipse([px - r, py - r, px + r, py + r], fill=colour)


def render_curve(n):
    img, d = _frame()
    draw_grid(d)
    width = int(round(1.7 * SS))
    if not PROFILES[n]:
        # no curve: dim dashed identity
        steps = 9
        for k in range(steps):
            a = -1.0 + 2.0 * k / steps
            b = a + 2.0 / steps * 0.55
            _stroke(d, [to_px(a, a), to_px(b, b)], IDENTITY, width)
    else:
        xs = np.linspace(-1.0, 1.0, SIZE * SS + 1)
        pts = [to_px(x, curve_value(PROFILES[n], x)) for x in xs]
        # the drawing clips what leaves the picture
        _stroke(d, pts, CURVE, width)
    return img.resize((SIZE, SIZE), Image.LANCZOS)


def make_curves(res_dir):
    res_dir = Path(res_dir)
    res_dir.mkdir(parents=True, exist_ok=True)
    for n in range(len(PROFILES)):
        img = render_curve(n)
        img.save(res_dir / f"curve_{n}.jpg", "JPEG", quality=QUALITY)
        assert Image.open(res_dir / f"curve_{n}.jpg").size == (SIZE, SIZE)
    return len(PROFILES)
