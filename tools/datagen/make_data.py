#!/usr/bin/python3
"""Draws OROVISTA's resource images and builds the sample Poser prop library.

Everything under data/ that is not hand-written comes from here: the window
images and tool icons, the action icon, the busy spinner, the "no thumbnail"
pictures and the small content library (props, OBJ geometry, thumbnails),
and, through the sibling modules, the colour gradients (gradients.py) and the
curve preset pictures (curves.py).

Run it from anywhere:  /usr/bin/python3 tools/datagen/make_data.py
All randomness uses fixed seeds, so a rerun rewrites identical files.
"""

import math
import os
import sys
from pathlib import Path

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

sys.dont_write_bytecode = True  # keep tools/datagen free of __pycache__
sys.path.insert(0, str(Path(__file__).resolve().parent))
import curves  # noqa: E402  curve preset pictures
import gradients  # noqa: E402  colour gradients and their thumbnails

ROOT = Path(__file__).resolve().parents[2]
DATA = ROOT / "data"
RES = DATA / "resources"
LIB = DATA / "library"
CONTENT = DATA / "content"

FONT_DIR = Path("/usr/share/fonts/truetype/dejavu")

# Window palette
BG_FRAME = (40, 40, 40)
BG_WINDOW = (60, 60, 60)
BG_PAGE = (95, 95, 95)
ACCENT = (71, 120, 247)
HIGHLIGHT = (255, 195, 0)
LIGHT = (240, 240, 240)
GLYPH = (232, 232, 232)
DANGER = (222, 72, 62)

# One Poser native unit is 8 feet; the viewport draws a prop at 2.4384 scene
# units (metres) per model unit, so the sample geometry is modelled in metres
# and divided by this on output.
POSER_UNIT_M = 2.4384


# ----------------------------------------------------------------------------
# small helpers
# ----------------------------------------------------------------------------

def font(name, size):
    path = FONT_DIR / name
    if not path.exists():
        sys.exit(f"missing font {path} (apt-get install fonts-dejavu-core)")
    return ImageFont.truetype(str(path), size)


def sans(size):
    return font("DejaVuSans.ttf", size)


def sans_bold(size):
    return font("DejaVuSans-Bold.ttf", size)


def cond(size):
    return font("DejaVuSansCondensed.ttf", size)


def cond_bold(size):
    return font("DejaVuSansCondensed-Bold.ttf", size)


def save_png(img, path):
    path.parent.mkdir(parents=True, exist_ok=True)
    img.save(path, "PNG", optimize=True)


def save_jpg(img, path, quality=90):
    path.parent.mkdir(parents=True, exist_ok=True)
    img.convert("RGB").save(path, "JPEG", quality=quality, optimize=True)


def to_img(arr):
    """float array (h, w, 3|4) in 0..255 -> PIL image."""
    arr = np.clip(np.rint(arr), 0, 255).astype(np.uint8)
    return Image.fromarray(arr, "RGBA" if arr.shape[2] == 4 else "RGB")


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def vgradient(w, h, top, bottom):
    t = np.linspace(0.0, 1.0, h)[:, None, None]
    a = np.array(top, float)[None, None, :]
    b = np.array(bottom, float)[None, None, :]
    return np.broadcast_to(a + (b - a) * t, (h, w, len(top))).copy()


def value_noise(h, w, cells, rng):
    """Smooth value noise in 0..1 (quintic interpolation on a random lattice)."""
    gy, gx = cells
    lat = rng.random((gy + 2, gx + 2))
    ys = np.linspace(0, gy, h, endpoint=False)
    xs = np.linspace(0, gx, w, endpoint=False)
    y0 = ys.astype(int)
    x0 = xs.astype(int)
    fy = ys - y0
    fx = xs - x0
    fy = fy * fy * fy * (fy * (fy * 6 - 15) + 10)
    fx = fx * fx * fx * (fx * (fx * 6 - 15) + 10)
    a = lat[y0][:, x0]
    b = lat[y0][:, x0 + 1]
    c = lat[y0 + 1][:, x0]
    d = lat[y0 + 1][:, x0 + 1]
    fx = fx[None, :]
    fy = fy[:, None]
    top = a + (b - a) * fx
    bot = c + (d - c) * fx
    return top + (bot - top) * fy


def height_field(h, w, seed, blobs=46, detail=0.22):
    """A smooth mountainous height field, roughly 0..1."""
    rng = np.random.default_rng(seed)
    yy, xx = np.mgrid[0:h, 0:w].astype(float)
    field = np.zeros((h, w))
    scale = max(w, h)
    for _ in range(blobs):
        cx = rng.uniform(-0.1, 1.1) * w
        cy = rng.uniform(-0.1, 1.1) * h
        r = rng.uniform(0.05, 0.22) * scale
        amp = rng.uniform(0.3, 1.0) * (1 if rng.random() < 0.8 else -0.6)
        sx = r * rng.uniform(0.6, 1.6)
        sy = r * rng.uniform(0.6, 1.6)
        field += amp * np.exp(-(((xx - cx) / sx) ** 2 + ((yy - cy) / sy) ** 2))
    for octave in range(4):
        cells = 3 * 2 ** octave
        field += detail / (2 ** octave) * (value_noise(h, w, (cells, cells * w // h + 1), rng) - 0.5)
    field -= field.min()
    field /= field.max()
    return field


class Canvas:
    """Supersampled drawing surface with coordinates in design units."""

    def __init__(self, w, h, scale, bg=(0, 0, 0, 0), units=None):
        self.out_w, self.out_h = w, h
        self.k = scale if units is None else scale * w / units
        self.scale = scale
        self.img = Image.new("RGBA", (w * scale, h * scale), bg)
        self.d = ImageDraw.Draw(self.img)

    def p(self, pts):
        return [(x * self.k, y * self.k) for x, y in pts]

    def poly(self, pts, fill=None, outline=None, width=0):
        self.d.polygon(self.p(pts), fill=fill, outline=outline,
                       width=max(0, int(round(width * self.k))))

    def line(self, pts, fill, width, joint="curve"):
        self.d.line(self.p(pts), fill=fill, width=max(1, int(round(width * self.k))), joint=joint)

    def rect(self, x0, y0, x1, y1, fill=None, outline=None, width=0, radius=0):
        box = [x0 * self.k, y0 * self.k, x1 * self.k, y1 * self.k]
        w = max(0, int(round(width * self.k)))
        if radius:
            self.d.rounded_rectangle(box, radius=radius * self.k, fill=fill, outline=outline, width=w)
        else:
            self.d.rectangle(box, fill=fill, outline=outline, width=w)

    def ellipse(self, cx, cy, rx, ry=None, fill=None, outline=None, width=0):
        ry = rx if ry is None else ry
        self.d.ellipse([(cx - rx) * self.k, (cy - ry) * self.k, (cx + rx) * self.k, (cy + ry) * self.k],
                       fill=fill, outline=outline, width=max(0, int(round(width * self.k))))

    def arc(self, cx, cy, r, start, end, fill, width):
        self.d.arc([(cx - r) * self.k, (cy - r) * self.k, (cx + r) * self.k, (cy + r) * self.k],
                   start, end, fill=fill, width=max(1, int(round(width * self.k))))

    def text(self, xy, s, fnt_name, size, fill, anchor="la"):
        f = font(fnt_name, int(round(size * self.k)))
        self.d.text((xy[0] * self.k, xy[1] * self.k), s, font=f, fill=fill, anchor=anchor)

    def result(self):
        return self.img.resize((self.out_w, self.out_h), Image.LANCZOS)


# ----------------------------------------------------------------------------
# glyphs shared by the icons and the help sheet (32 x 32 design units)
# ----------------------------------------------------------------------------

def g_tree(c, x, base, h, col):
    """A stylised conifer standing on (x, base), h units tall."""
    tw = max(1.6, h * 0.13)
    c.rect(x - tw / 2, base - h * 0.2, x + tw / 2, base, fill=col)
    c.poly([(x - h * 0.36, base - h * 0.17), (x + h * 0.36, base - h * 0.17), (x, base - h * 0.68)], fill=col)
    c.poly([(x - h * 0.27, base - h * 0.5), (x + h * 0.27, base - h * 0.5), (x, base - h)], fill=col)


def g_badge_x(c, cx, cy, r, bg=DANGER, fg=(255, 255, 255)):
    c.ellipse(cx, cy, r + 1.2, fill=(0, 0, 0, 0))
    c.ellipse(cx, cy, r, fill=bg)
    a = r * 0.45
    c.line([(cx - a, cy - a), (cx + a, cy + a)], fg, r * 0.34)
    c.line([(cx - a, cy + a), (cx + a, cy - a)], fg, r * 0.34)


def g_badge_undo(c, cx, cy, r, bg=DANGER, fg=(255, 255, 255)):
    c.ellipse(cx, cy, r, fill=bg)
    rr = r * 0.5
    c.arc(cx + rr * 0.1, cy + rr * 0.15, rr, 200, 100, fg, r * 0.26)
    # arrow head at the start of the arc (left side, pointing up-left)
    ax, ay = cx + rr * 0.1 - rr * 0.95, cy + rr * 0.15 - rr * 0.35
    s = r * 0.42
    c.poly([(ax - s * 0.75, ay - s * 0.35), (ax + s * 0.55, ay - s * 0.55), (ax + s * 0.05, ay + s * 0.75)], fill=fg)


def g_arrow_down(c, x, y0, y1, col, w=2.2, head=4.0):
    c.line([(x, y0), (x, y1 - head * 0.8)], col, w)
    c.poly([(x - head, y1 - head), (x + head, y1 - head), (x, y1)], fill=col)


def icon_delete(c, col, dim):
    g_tree(c, 13, 28, 24, col)
    g_badge_x(c, 23.5, 22.5, 7.2)


def icon_delete_all(c, col, dim):
    g_tree(c, 7.5, 22, 15, col)
    g_tree(c, 24.5, 22, 15, col)
    g_tree(c, 16, 17, 15, col)
    c.line([(3, 26.5), (29, 26.5)], col, 1.6)
    g_badge_x(c, 24, 24, 6.8)


def icon_delete_last(c, col, dim):
    g_tree(c, 8, 27, 15, dim)
    g_tree(c, 16, 27, 22, col)
    g_badge_undo(c, 24.2, 9.5, 7.0)


def icon_reposition(c, col, dim):
    g_tree(c, 16, 15, 14, col)
    g_arrow_down(c, 16, 16.5, 25.5, col, w=2.0, head=3.6)
    c.line([(2, 29), (8, 27.2), (14, 28.4), (20, 27.0), (26, 28.2), (30, 27.4)], col, 1.8)


def icon_below0(c, col, dim):
    # terrain body with a pit sculpted through the dashed zero line
    surface = []
    for i in range(0, 57):
        x = 1 + i * 0.535
        t = (x - 18) / 4.6
        surface.append((x, 13.0 + 15.0 * math.exp(-t * t)))
    c.poly(surface + [(31, 31), (1, 31)], fill=col)
    c.text((1.5, 0.5), "0", "DejaVuSans-Bold.ttf", 10, col)
    for x in (9.5, 14.5, 19.5, 24.5):
        c.line([(x, 13.0), (x + 2.6, 13.0)], col, 1.5)
    g_arrow_down(c, 18, 3.0, 25.5, col, w=2.2, head=3.6)


def icon_stack(c, col, dim):
    c.line([(2, 29), (30, 29)], dim, 1.6)
    c.rect(7, 20, 25, 28.2, fill=col, radius=1.4)
    c.line([(9.5, 22.8), (17, 22.8)], (0, 0, 0, 0), 1.0)
    g_tree(c, 16, 20.2, 18, col)


def icon_bounding(c, col, dim):
    # a wire box with translucent faces around a small tree
    f, b = 8.0, 5.0  # front-face size offset, depth offset
    x0, y0, x1, y1 = 4, 10, 22, 28
    back = [(x0 + f, y0 - b), (x1 + f, y0 - b), (x1 + f, y1 - b), (x0 + f, y1 - b)]
    front = [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]
    shade = col[:3] + (60 if col[0] > 128 else 30,)
    c.poly([front[0], back[0], back[1], front[1]], fill=shade)
    c.poly([front[1], back[1], back[2], front[2]], fill=col[:3] + (38,))
    g_tree(c, 13.5, 26.5, 13, dim)
    for a, bb in zip(front, back):
        c.line([a, bb], col, 1.4)
    c.line(back + [back[0]], col, 1.0)
    c.line(front + [front[0]], col, 1.6)


TOOL_ICONS = {
    "tool_delete": icon_delete,
    "tool_delete_all": icon_delete_all,
    "tool_delete_last_batch": icon_delete_last,
    "tool_reposition": icon_reposition,
    "tool_below0": icon_below0,
    "tool_stack": icon_stack,
    "tool_bounding_all": icon_bounding,
}
TOGGLE_ICONS = ("tool_below0", "tool_stack", "tool_bounding_all")


def render_tool_icon(name, size=32, on=False):
    c = Canvas(size, size, 8, units=32)
    if on:
        # the active state mirrors the AUTO button: highlight face, dark glyph
        c.rect(0.5, 0.5, 31.5, 31.5, fill=HIGHLIGHT, radius=5)
        col, dim = (28, 28, 28, 255), (28, 28, 28, 170)
    else:
        col, dim = GLYPH + (255,), GLYPH + (150,)
    TOOL_ICONS[name](c, col, dim)
    return c.result()


def make_tool_icons():
    for name in TOOL_ICONS:
        save_png(render_tool_icon(name), RES / f"{name}.png")
        if name in TOGGLE_ICONS:
            save_png(render_tool_icon(name, on=True), RES / f"{name}_on.png")


# ----------------------------------------------------------------------------
# mountain mark (action icon and logo)
# ----------------------------------------------------------------------------

def draw_peak(c, apex, left, right, split, lit, shade, snow_lit, snow_shade, snow=0.34):
    """A faceted peak: lit left face, shaded right face, snow cap."""
    ax, ay = apex
    c.poly([left, apex, split], fill=lit)
    c.poly([split, apex, right], fill=shade)
    if snow > 0:
        def at(p, t):
            return (ax + (p[0] - ax) * t, ay + (p[1] - ay) * t)
        l1, s1, r1 = at(left, snow), at(split, snow * 1.25), at(right, snow)
        l2 = at(left, snow * 0.72)
        r2 = at(right, snow * 0.8)
        mid_l = ((l1[0] + s1[0]) / 2, (l1[1] + s1[1]) / 2 - (s1[1] - ay) * 0.28)
        mid_r = ((r1[0] + s1[0]) / 2, (r1[1] + s1[1]) / 2 - (s1[1] - ay) * 0.22)
        c.poly([apex, l2, l1, mid_l, s1], fill=snow_lit)
        c.poly([apex, s1, mid_r, r1, r2], fill=snow_shade)


def draw_mark(c, x, y, s, sun=True):
    """The OROVISTA mark in a box of s x s design units at (x, y)."""
    def P(px, py):
        return (x + px * s, y + py * s)
    if sun:
        c.ellipse(*P(0.72, 0.27), 0.115 * s, fill=HIGHLIGHT)
    # back range
    draw_peak(c, P(0.70, 0.34), P(0.36, 0.86), P(1.0, 0.86), P(0.74, 0.86),
              (112, 138, 196), (74, 96, 150), (214, 224, 242), (160, 176, 210), snow=0.3)
    # front peak
    draw_peak(c, P(0.40, 0.14), P(0.0, 0.86), P(0.84, 0.86), P(0.47, 0.86),
              ACCENT, (38, 66, 150), (250, 250, 252), (186, 198, 226), snow=0.36)


def make_action_icon():
    c = Canvas(64, 64, 8, units=64)
    # tile: dark night-blue gradient with a soft border
    tile = Image.new("RGBA", (512, 512), (0, 0, 0, 0))
    grad = to_img(vgradient(512, 512, (36, 44, 64, 255), (22, 24, 30, 255)))
    mask = Image.new("L", (512, 512), 0)
    ImageDraw.Draw(mask).rounded_rectangle([8, 8, 503, 503], radius=96, fill=255)
    tile.paste(grad, (0, 0), mask)
    c.img.alpha_composite(tile)
    # clip the mark to the tile
    mark = Canvas(64, 64, 8, units=64)
    draw_mark(mark, 7, 7, 50)
    mark.poly([(0, 57), (64, 57), (64, 64), (0, 64)], fill=(0, 0, 0, 0))
    m = mark.img
    clip = Image.new("RGBA", m.size, (0, 0, 0, 0))
    clip.paste(m, (0, 0), mask)
    c.img.alpha_composite(clip)
    c.rect(1, 1, 63, 63, outline=(120, 130, 150, 200), width=1.0, radius=12)
    save_png(c.result(), DATA / "icon.png")


# ----------------------------------------------------------------------------
# contour map used by the TERRAFORM background and the logo card
# ----------------------------------------------------------------------------

def contour_strength(field, levels, width_px=1.0):
    """Antialiased iso-lines of field at 'levels' equal steps; returns (minor, index)."""
    f = field * levels
    gy, gx = np.gradient(f)
    fw = np.sqrt(gx * gx + gy * gy) + 1e-6
    dist = np.abs(f - np.round(f)) / fw
    line = np.clip(1.0 - (dist - width_px * 0.5), 0.0, 1.0)
    line *= np.clip(fw / 0.012, 0.0, 1.0)   # no specks on flat summits
    idx = (np.round(f).astype(int) % 5 == 0)
    return line * ~idx, line * idx


def make_background():
    w, h = 1158, 963
    field = height_field(h, w, seed=1961)
    minor, index = contour_strength(field, 34, 0.9)
    yy, xx = np.mgrid[0:h, 0:w].astype(float)
    # radial vignette: a touch lighter in the middle
    r = np.sqrt(((xx - w * 0.5) / w) ** 2 + ((yy - h * 0.45) / h) ** 2)
    base = 45.0 - 13.0 * np.clip(r / 0.75, 0, 1) ** 1.5
    # very soft hill shading from the same field
    gy, gx = np.gradient(field * 180.0)
    shade = np.clip(-(gx * 0.7 + gy * 0.7), -3, 3)
    lum = base + shade + minor * 8.0 + index * 15.0
    # faint map grid
    grid = ((xx.astype(int) % 96 == 0) | (yy.astype(int) % 96 == 0)).astype(float)
    lum += grid * 3.0
    img = np.stack([lum * 0.98, lum * 0.99, lum * 1.04], axis=2)
    # a faint cool tint on the index contours
    img[..., 2] += index * 5.0
    rng = np.random.default_rng(7)
    img += rng.normal(0.0, 0.9, (h, w, 1))   # film grain hides JPEG banding
    save_jpg(to_img(img), RES / "bg.jpg", quality=90)


def ridge_line(n, seed, rough=0.55, peaks=()):
    """Midpoint-displacement ridge of n points in 0..1 (higher = taller)."""
    rng = np.random.default_rng(seed)
    size = 1
    while size < n - 1:
        size *= 2
    pts = np.zeros(size + 1)
    pts[0], pts[-1] = rng.uniform(0.2, 0.4), rng.uniform(0.2, 0.4)
    step, amp = size, 0.5
    while step > 1:
        half = step // 2
        for i in range(half, size, step):
            pts[i] = (pts[i - half] + pts[i + half]) / 2 + rng.uniform(-amp, amp)
        step, amp = half, amp * rough
    xs = np.linspace(0, size, n)
    out = np.interp(xs, np.arange(size + 1), pts)
    for px, ph, pw in peaks:
        t = np.linspace(0, 1, n)
        out += ph * np.clip(1 - np.abs(t - px) / pw, 0, 1) ** 1.3
    out -= out.min()
    return out / out.max()


def make_logo():
    ss = 2
    w, h = 600, 300
    W, H = w * ss, h * ss
    # card background with faint contours
    field = height_field(H, W, seed=4242, blobs=30)
    minor, index = contour_strength(field, 22, 1.0 * ss)
    card = vgradient(W, H, (30, 32, 38), (46, 48, 54))
    card += (minor * 7 + index * 12)[..., None]
    # mountain range: three silhouette layers, hazy at the back
    yy = np.arange(H)[:, None]
    layers = [
        (ridge_line(W, 11, 0.5), 0.17, 0.50, (70, 82, 108), 0.0),
        (ridge_line(W, 23, 0.52, peaks=((0.3, 0.8, 0.22),)), 0.22, 0.54, (58, 78, 130), 0.0),
        (ridge_line(W, 31, 0.52, peaks=((0.62, 1.0, 0.2),)), 0.12, 0.56, (71, 120, 247), 1.0),
    ]
    sun_x, sun_y, sun_r = int(W * 0.84), int(H * 0.19), int(H * 0.075)
    yv, xv = np.mgrid[0:H, 0:W]
    dsun = np.sqrt((xv - sun_x) ** 2 + (yv - sun_y) ** 2)
    glow = np.clip(1 - dsun / (sun_r * 4.5), 0, 1) ** 2 * 0.35
    card = card * (1 - glow[..., None]) + np.array(HIGHLIGHT, float) * glow[..., None] * 0.5 + card * glow[..., None] * 0.5
    sun = np.clip(sun_r + 0.5 * ss - dsun, 0, 1 * ss) / ss
    card = card * (1 - sun[..., None]) + np.array(HIGHLIGHT, float) * sun[..., None]
    ground = int(H * 0.57)
    for ridge, top, bottom, colour, snow in layers:
        crest = (top + (1 - ridge) * (bottom - top)) * H
        inside = np.clip(yy - crest[None, :] + 0.5, 0, 1) * (yy <= ground)
        depth = np.clip((yy - crest[None, :]) / (ground - crest[None, :] + 1), 0, 1)
        col = np.array(colour, float)
        body = col[None, None, :] * (1.0 - 0.45 * depth[..., None])
        if snow:
            # snow cap above a ragged snow line; the faces towards the sun are lit
            rag = ridge_line(W, 77, 0.6)
            snowline = H * 0.27 + (rag[None, :] - 0.5) * 22 * ss
            cap = (yy < snowline) & (crest[None, :] < snowline)
            slope = np.gradient(np.convolve(crest, np.ones(9) / 9, mode="same"))
            lit = np.where(slope[None, :] > 0, 1.0, 0.80)
            snowcol = np.array((246, 248, 252), float)[None, None, :] * lit[..., None]
            body = np.where(cap[..., None], snowcol, body)
        card = card * (1 - inside[..., None]) + body * inside[..., None]
    # thin accent line on the horizon
    card[ground:ground + ss] = np.array(ACCENT, float) * 0.85
    img = to_img(card).convert("RGBA")
    d = ImageDraw.Draw(img)
    # word mark
    fw = sans_bold(64 * ss)
    word = "OROVISTA"
    spacing = 7 * ss
    widths = [d.textlength(ch, font=fw) for ch in word]
    total = sum(widths) + spacing * (len(word) - 1)
    x = (W - total) / 2 - 18 * ss
    y = ground + 10 * ss
    for ch, cw in zip(word, widths):
        d.text((x + 2 * ss, y + 3 * ss), ch, font=fw, fill=(10, 10, 12, 160))
        d.text((x, y), ch, font=fw, fill=LIGHT)
        x += cw + spacing
    d.text((x + 6 * ss, y + 4 * ss), "1.1", font=sans_bold(26 * ss), fill=HIGHLIGHT)
    tag = "procedural terrain generator"
    ft = sans(15 * ss)
    tw = d.textlength(tag.upper(), font=ft)
    d.text(((W - tw) / 2, y + 80 * ss), tag.upper(), font=ft, fill=(176, 180, 190))
    img = img.resize((w, h), Image.LANCZOS)
    # rounded card with a fine border on the page colour
    mask = Image.new("L", (w, h), 0)
    ImageDraw.Draw(mask).rounded_rectangle([0, 0, w - 1, h - 1], radius=14, fill=255)
    out = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    out.paste(img, (0, 0), mask)
    ImageDraw.Draw(out).rounded_rectangle([0, 0, w - 1, h - 1], radius=14, outline=(128, 128, 128, 255), width=1)
    save_png(out, RES / "logo.png")


# ----------------------------------------------------------------------------
# small window images
# ----------------------------------------------------------------------------

def make_help_icon():
    c = Canvas(16, 16, 16)
    c.ellipse(8, 8, 7.6, fill=(235, 235, 235))
    c.ellipse(8, 8, 6.6, fill=ACCENT)
    c.text((8.1, 8.4), "?", "DejaVuSans-Bold.ttf", 11.5, (255, 255, 255), anchor="mm")
    save_png(c.result(), RES / "help.png")


def make_spinner():
    size, ss, n = 64, 4, 12
    frames = []
    for f in range(n):
        c = Canvas(size, size, ss, bg=BG_PAGE + (255,))
        for i in range(n):
            age = (f - i) % n          # 0 = the leading bar
            t = 1.0 - age / n
            ang = 2 * math.pi * i / n - math.pi / 2
            col = lerp(BG_PAGE, ACCENT, 0.18 + 0.82 * t ** 1.6) if age else (255, 255, 255)
            if age == 1:
                col = lerp(ACCENT, (255, 255, 255), 0.35)
            r0, r1 = 13.0, 26.0
            x0, y0 = 32 + r0 * math.cos(ang), 32 + r0 * math.sin(ang)
            x1, y1 = 32 + r1 * math.cos(ang), 32 + r1 * math.sin(ang)
            c.line([(x0, y0), (x1, y1)], col, 5.2)
            c.ellipse(x0, y0, 2.6, fill=col)
            c.ellipse(x1, y1, 2.6, fill=col)
        frames.append(c.result().convert("RGB"))
    # one shared palette keeps the frames stable
    pal = frames[0].quantize(colors=64, method=Image.MEDIANCUT)
    frames = [fr.quantize(palette=pal, dither=Image.NONE) for fr in frames]
    path = RES / "wait.gif"
    frames[0].save(path, save_all=True, append_images=frames[1:], duration=70, loop=0, optimize=False,
                   disposal=1)


def make_none():
    w = h = 128
    img = vgradient(w, h, (72, 72, 74), (50, 50, 52))
    yy, xx = np.mgrid[0:h, 0:w]
    r = np.sqrt((xx - 64) ** 2 + (yy - 56) ** 2) / 90.0
    img *= (1.05 - 0.25 * r)[..., None]
    base = to_img(img).convert("RGBA")
    c = Canvas(w, h, 4)
    c.img = base.resize((w * 4, h * 4), Image.NEAREST)
    c.d = ImageDraw.Draw(c.img)
    col = (138, 138, 140, 255)
    c.rect(30, 26, 98, 78, outline=col, width=3, radius=5)
    c.ellipse(80, 40, 6, fill=col)
    c.poly([(36, 72), (56, 46), (68, 60), (76, 52), (92, 72)], fill=col)
    c.line([(22, 86), (106, 18)], (50, 50, 52, 255), 7)
    c.line([(24, 86), (104, 20)], (150, 90, 84, 255), 3)
    c.text((64, 104), "NO PREVIEW", "DejaVuSansCondensed-Bold.ttf", 11, (168, 168, 170), anchor="mm")
    img = c.result()
    img = Image.alpha_composite(Image.new("RGBA", img.size, (50, 50, 52, 255)), img)
    ImageDraw.Draw(img).rectangle([0, 0, w - 1, h - 1], outline=(35, 35, 36))
    save_jpg(img, RES / "none.jpg", quality=92)
    save_jpg(img, LIB / "none.jpg", quality=92)


# ----------------------------------------------------------------------------
# populate help sheet
# ----------------------------------------------------------------------------

class Sheet:
    def __init__(self, w, h):
        self.w, self.h = w, h
        bg = vgradient(w, h, (44, 44, 46), (34, 34, 36))
        self.img = to_img(bg).convert("RGBA")
        self.d = ImageDraw.Draw(self.img)
        self.f_body = sans(11)
        self.f_bold = sans_bold(11)
        self.f_key = cond_bold(10)
        self.f_head = sans_bold(12)
        self.f_name = cond_bold(11)

    def chip(self, x, y, s, mouse=False):
        f = self.f_key
        tw = self.d.textlength(s, font=f)
        wbox = tw + 10
        if mouse:
            self.d.rounded_rectangle([x, y, x + wbox, y + 15], radius=7, fill=(38, 52, 92), outline=ACCENT)
        else:
            self.d.rounded_rectangle([x, y, x + wbox, y + 15], radius=3, fill=(82, 82, 86), outline=(140, 140, 146))
            self.d.line([x + 2, y + 15, x + wbox - 2, y + 15], fill=(24, 24, 26))
        self.d.text((x + 5, y + 1), s, font=f, fill=(250, 250, 250))
        return x + wbox

    def keys(self, x, y, combo):
        """combo like 'Alt+[left drag]' ; [..] marks a mouse action, '/' separates choices."""
        tokens = []
        cur = ""
        for ch in combo:
            if ch in "+/":
                if cur:
                    tokens.append(cur)
                tokens.append(ch)
                cur = ""
            else:
                cur += ch
        if cur:
            tokens.append(cur)
        for t in tokens:
            if t in "+/":
                self.d.text((x + 2, y + 1), t, font=self.f_bold, fill=(170, 170, 170))
                x += self.d.textlength(t, font=self.f_bold) + 4
            elif t.startswith("["):
                x = self.chip(x, y, t.strip("[]"), mouse=True) + 2
            else:
                x = self.chip(x, y, t) + 2
        return x

    def wrap(self, text, width, f):
        words, lines, cur = text.split(" "), [], ""
        for wd in words:
            test = wd if not cur else cur + " " + wd
            if self.d.textlength(test, font=f) <= width:
                cur = test
            else:
                lines.append(cur)
                cur = wd
        if cur:
            lines.append(cur)
        return lines

    def row(self, x, y, width, lead, text, lead_w=128, kind="keys"):
        """One help line: a lead (keys, a control name or an icon) and a description."""
        if kind == "keys":
            self.keys(x, y, lead)
        elif kind == "name":
            self.d.text((x, y + 1), lead, font=self.f_name, fill=HIGHLIGHT)
        elif kind == "icon":
            ic = render_tool_icon(lead, size=18)
            self.d.rounded_rectangle([x - 1, y - 2, x + 19, y + 17], radius=3, fill=(62, 62, 66))
            self.img.alpha_composite(ic, (x, y - 1))
        lines = self.wrap(text, width - lead_w, self.f_body)
        for i, ln in enumerate(lines):
            self.d.text((x + lead_w, y + 1 + i * 14), ln, font=self.f_body, fill=LIGHT)
        return y + max(1, len(lines)) * 14 + (7 if kind == "icon" else 5)

    def section(self, x, y, w, title, sub):
        self.d.rounded_rectangle([x, y, x + w, y + 20], radius=4, fill=(58, 58, 62))
        tw = self.d.textlength(title, font=self.f_head)
        self.d.rounded_rectangle([x, y, x + tw + 18, y + 20], radius=4, fill=ACCENT)
        self.d.text((x + 9, y + 3), title, font=self.f_head, fill=(255, 255, 255))
        self.d.text((x + tw + 28, y + 4), sub, font=cond(11), fill=(200, 200, 204))
        return y + 28


def make_balloon():
    w, h = 802, 582
    s = Sheet(w, h)
    d = s.d
    # title band
    d.rectangle([0, 0, w, 40], fill=(28, 28, 30))
    d.line([0, 40, w, 40], fill=ACCENT, width=2)
    mark = Canvas(26, 26, 8, units=26)
    draw_mark(mark, 0, 0, 26)
    s.img.alpha_composite(mark.result(), (14, 7))
    d.text((48, 9), "POPULATE HELP", font=sans_bold(18), fill=HIGHLIGHT)
    note = "move the pointer off the ? icon to return to the viewport"
    d.text((w - 16 - d.textlength(note, font=cond(11)), 15), note, font=cond(11), fill=(170, 170, 176))

    col_w = 375
    xl, xr = 18, 18 + col_w + 16

    # navigation, all modes
    y0 = 52
    y = s.section(xl, y0, w - 36, "NAVIGATION", "in every mode, with the pointer over the viewport")
    top = y
    y = s.row(xl, y, col_w, "Alt+[left drag]", "orbit: turn and tilt the view", 132)
    y = s.row(xl, y, col_w, "Alt+[right drag]", "pan: slide the view (the middle button too)", 132)
    y = s.row(xl, y, col_w, "[wheel]", "zoom: forward moves away, back moves closer", 132)
    y = s.row(xl, y, col_w, "Shift+[wheel]", "zoom in steps ten times larger", 132)
    y = s.row(xl, y, col_w, "PgUp/PgDn", "move closer / farther", 132)
    yl = y
    y = top
    y = s.row(xr, y, col_w, "pan sliders", "drag to shift the view; they spring back", 122, "name")
    y = s.row(xr, y, col_w, "camera speed", "the step of every Alt-drag move", 122, "name")
    y = s.row(xr, y, col_w, "reset view", "home view, or frame the selected item", 122, "name")
    y = s.row(xr, y, col_w, "tool_bounding_all", "boxes instead of items while you navigate", 24, "icon")
    y = s.row(xr, y, col_w, "Ctrl+Z", "undo a stroke, painting, edit or delete; Ctrl+Shift+Z redoes it", 122)
    y = max(yl, y) + 6

    # the four modes in two columns
    top = y
    y = s.section(xl, top, col_w, "TERRAIN MODE", "sculpt the generated terrain")
    y = s.row(xl, y, col_w, "[left drag]", "raise the ground under the brush", 108)
    y = s.row(xl, y, col_w, "Shift+[left drag]", "lower the ground", 108)
    y = s.row(xl, y, col_w, "brush diameter", "size of the brush", 108, "name")
    y = s.row(xl, y, col_w, "sculpt strength", "how far each step moves the ground", 108, "name")
    y = s.row(xl, y, col_w, "vertical / normal", "push straight up, or along the slope", 108, "name")
    y = s.row(xl, y, col_w, "tool_below0", "allow sculpting below the low elevation", 24, "icon")
    d.text((xl, y), "Imported .OBJ terrains cannot be sculpted.", font=cond(11), fill=(170, 170, 176))
    y_terrain = y + 20

    y = s.section(xr, top, col_w, "PAINT MODE", "place props on the terrain")
    y = s.row(xr, y, col_w, "[double-click]", "a .pp2 prop in the library to choose it", 108)
    y = s.row(xr, y, col_w, "[left click]", "place one item; drag to paint a trail", 108)
    y = s.row(xr, y, col_w, "Shift+[left click]", "scatter \"instances per Shift-click\" items in the brush (not on imported terrains)", 108)
    y = s.row(xr, y, col_w, "distance", "minimum spacing between items, in cm", 108, "name")
    y = s.row(xr, y, col_w, "eco angle / scale", "random rotation and scale limits", 108, "name")
    y = s.row(xr, y, col_w, "vertical / normal", "stand upright, or lean with the slope", 108, "name")
    y = s.row(xr, y, col_w, "tool_stack", "let new items land on other items", 24, "icon")
    y_paint = y

    top = max(y_terrain, y_paint) + 4
    y = s.section(xl, top, col_w, "EDIT MODE", "change placed items")
    y = s.row(xl, y, col_w, "[left click]", "select an item (drawn red); click the ground to deselect", 96)
    y = s.row(xl, y, col_w, "[left drag]", "move the selected item over the ground", 96)
    y = s.row(xl, y, col_w, "spin boxes", "rotation, scale and Y offset of the selection", 96, "name")
    y = s.row(xl, y, col_w, "tool_delete", "delete the selected item (or the Del key)", 24, "icon")
    y = s.row(xl, y, col_w, "tool_delete_last_batch", "delete the last item painted", 24, "icon")
    y = s.row(xl, y, col_w, "tool_delete_all", "delete all items (asks first)", 24, "icon")
    y = s.row(xl, y, col_w, "tool_reposition", "put every item back on the terrain surface", 24, "icon")

    y = s.section(xr, top, col_w, "SKY DOME", "the sky alone, terrain and items hidden")
    y = s.row(xr, y, col_w, "sun pitch, azimuth", "height and direction of the sun", 132, "name")
    y = s.row(xr, y, col_w, "red, green, blue", "colour gains of the sky", 132, "name")
    y = s.row(xr, y, col_w, "turbidity", "haze of the air", 132, "name")
    y = s.row(xr, y, col_w, "horizon, solar region", "horizon light, the glow round the sun and the backscatter", 132, "name")
    y = s.row(xr, y, col_w, "stars", "intensity and number; shown at a sun pitch of 20\u00b0 or less", 132, "name")
    y = s.row(xr, y, col_w, "reset", "back to the standard sky", 132, "name")
    d.text((xr, y), "CREATE tab \u203a add skydome puts this sky into the scene.", font=cond(11), fill=(170, 170, 176))

    d.rectangle([0, 0, w - 1, h - 1], outline=(128, 128, 128))
    save_png(s.img.convert("RGB"), RES / "balloon.png")


# ----------------------------------------------------------------------------
# sample prop library: meshes, OBJ and Poser prop files, thumbnails
# ----------------------------------------------------------------------------

class Mesh:
    """Polygon mesh with per-corner texture coordinates and named groups (metres, y up).

    Faces are triangles unless the mesh keeps quads (keep_quads) or a builder adds an
    n-gon with poly(); the triangle count counts an n-sided face as n - 2 triangles.
    """

    def __init__(self, name, keep_quads=False):
        self.name = name
        self.keep_quads = keep_quads
        self.v = []
        self.vt = []
        self.faces = []   # (group, (v0, v1, v2, ...), (t0, t1, t2, ...))

    def add_v(self, p):
        self.v.append(tuple(float(c) for c in p))
        return len(self.v) - 1

    def add_vt(self, uv):
        uv = (round(float(uv[0]), 4), round(float(uv[1]), 4))
        self.vt.append(uv)
        return len(self.vt) - 1

    def poly(self, group, vs, uvs):
        self.faces.append((group, tuple(vs), tuple(self.add_vt(uv) for uv in uvs)))

    def tri(self, group, vs, uvs):
        self.poly(group, vs, uvs)

    def quad(self, group, vs, uvs):
        if self.keep_quads:
            self.poly(group, vs, uvs)
        else:
            self.tri(group, (vs[0], vs[1], vs[2]), (uvs[0], uvs[1], uvs[2]))
            self.tri(group, (vs[0], vs[2], vs[3]), (uvs[0], uvs[2], uvs[3]))

    def triangles(self):
        """(group, (a, b, c)) of every face, n-gons split as a fan from their first corner."""
        for g, vs, _ in self.faces:
            for k in range(1, len(vs) - 1):
                yield g, (vs[0], vs[k], vs[k + 1])

    def tri_count(self):
        return sum(len(vs) - 2 for _, vs, _ in self.faces)

    def groups(self):
        out = []
        for g, _, _ in self.faces:
            if g not in out:
                out.append(g)
        return out

    def dedupe_vt(self):
        seen, new, remap = {}, [], {}
        for i, uv in enumerate(self.vt):
            if uv not in seen:
                seen[uv] = len(new)
                new.append(uv)
            remap[i] = seen[uv]
        self.vt = new
        self.faces = [(g, vs, tuple(remap[t] for t in ts)) for g, vs, ts in self.faces]

    def face_normal(self, vs):
        """Area vector of a face (Newell's method), so planar n-gons weigh by their area."""
        p = np.array([self.v[i] for i in vs])
        q = np.roll(p, -1, axis=0)
        return 0.5 * np.cross(p, q).sum(axis=0)

    def normals(self):
        n = np.zeros((len(self.v), 3))
        for _, vs, _ in self.faces:
            fn = self.face_normal(vs)          # area weighted
            for i in vs:
                n[i] += fn
        ln = np.linalg.norm(n, axis=1)
        ln[ln == 0] = 1
        return n / ln[:, None]

    def centre_xz(self):
        """Moves the footprint's middle onto the origin (the point that lands on the terrain)."""
        lo, hi = self.bounds()
        cx, cz = (lo[0] + hi[0]) / 2, (lo[2] + hi[2]) / 2
        self.v = [(x - cx, y, z - cz) for x, y, z in self.v]

    def scale(self, s):
        self.v = [(x * s, y * s, z * s) for x, y, z in self.v]

    def bounds(self):
        v = np.array(self.v)
        return v.min(axis=0), v.max(axis=0)

    def subset(self, groups):
        """A mesh of the faces in 'groups' only, with its vertices renumbered in their old order."""
        part = Mesh(self.name, self.keep_quads)
        used = sorted({i for g, vs, _ in self.faces if g in groups for i in vs})
        remap = {i: k for k, i in enumerate(used)}
        part.v = [self.v[i] for i in used]
        part.vt = list(self.vt)
        part.faces = [(g, tuple(remap[i] for i in vs), ts) for g, vs, ts in self.faces if g in groups]
        used_t = sorted({t for _, _, ts in part.faces for t in ts})
        remap_t = {t: k for k, t in enumerate(used_t)}
        part.vt = [self.vt[t] for t in used_t]
        part.faces = [(g, vs, tuple(remap_t[t] for t in ts)) for g, vs, ts in part.faces]
        return part


def ring(mesh, y, r, sides, cx=0.0, cz=0.0, phase=0.0, jitter=0.0, rng=None, squash=1.0):
    out = []
    for j in range(sides):
        a = phase + 2 * math.pi * j / sides
        rr = r * (1 + (rng.uniform(-jitter, jitter) if rng is not None and jitter else 0))
        out.append(mesh.add_v((cx + rr * math.cos(a), y, cz + rr * math.sin(a) * squash)))
    return out


def tube(mesh, group, rings, vs):
    """Side walls between consecutive rings; v runs along 'vs' (one value per ring)."""
    sides = len(rings[0])
    for k in range(len(rings) - 1):
        lo, hi = rings[k], rings[k + 1]
        for j in range(sides):
            j1 = (j + 1) % sides
            u0, u1 = j / sides, (j + 1) / sides
            g = group(k, j) if callable(group) else group
            mesh.quad(g, (lo[j], hi[j], hi[j1], lo[j1]),
                      ((u0, vs[k]), (u0, vs[k + 1]), (u1, vs[k + 1]), (u1, vs[k])))


def fan(mesh, group, rim, apex_index, v_rim, v_apex, outward_up=True):
    sides = len(rim)
    for j in range(sides):
        j1 = (j + 1) % sides
        u0, u1 = j / sides, (j + 1) / sides
        if outward_up:
            mesh.tri(group, (rim[j1], rim[j], apex_index), ((u1, v_rim), (u0, v_rim), ((u0 + u1) / 2, v_apex)))
        else:
            mesh.tri(group, (rim[j], rim[j1], apex_index), ((u0, v_rim), (u1, v_rim), ((u0 + u1) / 2, v_apex)))


def cap(mesh, group, rim, y, cx=0.0, cz=0.0, up=True):
    c = mesh.add_v((cx, y, cz))
    sides = len(rim)
    for j in range(sides):
        j1 = (j + 1) % sides
        a0, a1 = 2 * math.pi * j / sides, 2 * math.pi * j1 / sides
        uv0 = (0.5 + 0.5 * math.cos(a0), 0.5 + 0.5 * math.sin(a0))
        uv1 = (0.5 + 0.5 * math.cos(a1), 0.5 + 0.5 * math.sin(a1))
        if up:
            mesh.tri(group, (rim[j1], rim[j], c), (uv1, uv0, (0.5, 0.5)))
        else:
            mesh.tri(group, (rim[j], rim[j1], c), (uv0, uv1, (0.5, 0.5)))


def icosphere(subdiv):
    t = (1 + 5 ** 0.5) / 2
    verts = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t), (0, -1, -t), (0, 1, -t),
             (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    verts = [np.array(v, float) / np.linalg.norm(v) for v in verts]
    faces = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4), (11, 10, 2),
             (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8), (3, 8, 9), (4, 9, 5), (2, 4, 11),
             (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    for _ in range(subdiv):
        cache, nf = {}, []

        def mid(a, b):
            key = (min(a, b), max(a, b))
            if key not in cache:
                m = verts[a] + verts[b]
                verts.append(m / np.linalg.norm(m))
                cache[key] = len(verts) - 1
            return cache[key]
        for a, b, c in faces:
            ab, bc, ca = mid(a, b), mid(b, c), mid(c, a)
            nf += [(a, ab, ca), (b, bc, ab), (c, ca, bc), (ab, bc, ca)]
        faces = nf
    return verts, faces


def blob(mesh, group, centre, radii, subdiv, rng, rough=0.18, flat_below=None, flat_above=None):
    """A lumpy ellipsoid (crowns, rocks, bush lumps) with spherical texture coordinates.

    flat_below / flat_above squash the part beyond that height almost flat (a rock's
    footing, a slab's top)."""
    verts, faces = icosphere(subdiv)
    # smooth random displacement: a few random 'dents' summed on the sphere
    dirs = rng.normal(size=(9, 3))
    dirs /= np.linalg.norm(dirs, axis=1)[:, None]
    amps = rng.uniform(-1, 1, 9)
    idx = []
    for p in verts:
        k = 1 + rough * float(np.sum(amps * np.maximum(0, p @ dirs.T) ** 3)) / 1.5
        q = np.array(centre) + p * np.array(radii) * k
        if flat_below is not None and q[1] < flat_below:
            q[1] = flat_below + (q[1] - flat_below) * 0.15
        if flat_above is not None and q[1] > flat_above:
            q[1] = flat_above + (q[1] - flat_above) * 0.2
        idx.append(mesh.add_v(q))
    first = len(mesh.faces)
    for a, b, c in faces:
        uvs = []
        for vi in (a, b, c):
            p = verts[vi]
            uvs.append([0.5 + math.atan2(p[2], p[0]) / (2 * math.pi), 0.5 + math.asin(max(-1, min(1, p[1]))) / math.pi])
        us = [uv[0] for uv in uvs]
        if max(us) - min(us) > 0.5:
            for uv in uvs:
                if uv[0] < 0.5:
                    uv[0] += 1.0
        mesh.tri(group, (idx[a], idx[b], idx[c]), [tuple(uv) for uv in uvs])
    return range(first, len(mesh.faces))


def limb(mesh, group, pts, radii, sides=5, tip=True):
    """A tapered tube along a polyline (limbs, roots, stems, logs), closed by a short point."""
    pts = [np.array(p, float) for p in pts]
    rings, u = [], None
    for i, p in enumerate(pts):
        d = pts[min(i + 1, len(pts) - 1)] - pts[max(i - 1, 0)]
        d /= np.linalg.norm(d)
        if u is None:
            helper = np.array([0, 0, 1.0]) if abs(d[2]) < 0.9 else np.array([1.0, 0, 0])
            u = np.cross(d, helper)
        else:
            u = u - d * float(u @ d)       # carry the frame along without twisting
        u /= np.linalg.norm(u)
        w = np.cross(u, d)                 # same turning sense as ring()
        rings.append([mesh.add_v(p + radii[i] * (math.cos(a) * u + math.sin(a) * w))
                      for a in (2 * math.pi * j / sides for j in range(sides))])
    tube(mesh, group, rings, [i / (len(pts) - 1) for i in range(len(pts))])
    if tip:
        tipv = mesh.add_v(pts[-1] + d * radii[-1])
        fan(mesh, group, rings[-1], tipv, 1.0, 1.0)
    return rings


def branch(mesh, group, p0, p1, r0, r1, sides=5):
    """A tapered limb from p0 to p1."""
    limb(mesh, group, (p0, p1), (r0, r1), sides)


def ribbon(mesh, group, left, right, tip=None, u=(0.0, 1.0)):
    """A thin double-sided strip (blade, leaf, frond): left[k] / right[k] are its edges,
    tip an optional point closing it. Each side gets its own vertices, so both keep a
    proper normal."""
    n = len(left)
    steps = n - 1 + (1 if tip is not None else 0)
    vv = [k / steps for k in range(n)]
    u0, u1 = u
    for back in (False, True):
        L = [mesh.add_v(p) for p in left]
        R = [mesh.add_v(p) for p in right]
        for k in range(n - 1):
            q = (L[k], R[k], R[k + 1], L[k + 1])
            uv = ((u0, vv[k]), (u1, vv[k]), (u1, vv[k + 1]), (u0, vv[k + 1]))
            if back:
                q, uv = q[::-1], uv[::-1]
            mesh.quad(group, q, uv)
        if tip is not None:
            T = mesh.add_v(tip)
            t = (L[-1], R[-1], T)
            tuv = ((u0, vv[-1]), (u1, vv[-1]), ((u0 + u1) / 2, 1.0))
            if back:
                t, tuv = t[::-1], tuv[::-1]
            mesh.tri(group, t, tuv)


def box(mesh, group, lo, hi):
    """An axis-aligned box; every side has its own corners (hard edges)."""
    x0, y0, z0 = lo
    x1, y1, z1 = hi
    sides = (((x0, y0, z1), (x1, y0, z1), (x1, y1, z1), (x0, y1, z1)),   # +z
             ((x1, y0, z0), (x0, y0, z0), (x0, y1, z0), (x1, y1, z0)),   # -z
             ((x1, y0, z1), (x1, y0, z0), (x1, y1, z0), (x1, y1, z1)),   # +x
             ((x0, y0, z0), (x0, y0, z1), (x0, y1, z1), (x0, y1, z0)),   # -x
             ((x0, y1, z1), (x1, y1, z1), (x1, y1, z0), (x0, y1, z0)),   # +y
             ((x0, y0, z0), (x1, y0, z0), (x1, y0, z1), (x0, y0, z1)))   # -y
    for quad in sides:
        mesh.quad(group, [mesh.add_v(p) for p in quad], ((0, 0), (1, 0), (1, 1), (0, 1)))


def prism(mesh, group, outline, z0, z1, frame=lambda x, y, z: (x, y, z)):
    """A board cut to 'outline' ((x, y) pairs) from depth z0 to z1, placed by 'frame'; the
    two faces are n-gons, the edges quads, all with hard edges and facing outwards
    whichever way the outline runs or the frame turns."""
    outline = list(outline)
    z0, z1 = min(z0, z1), max(z0, z1)
    area = sum(outline[j - 1][0] * outline[j][1] - outline[j][0] * outline[j - 1][1] for j in range(len(outline)))
    o = np.array(frame(0.0, 0.0, 0.0))
    jac = np.array([np.array(frame(*e)) - o for e in ((1.0, 0, 0), (0, 1.0, 0), (0, 0, 1.0))])
    if (area < 0) != (np.linalg.det(jac) < 0):    # keep the faces turned outwards
        outline = outline[::-1]
    n = len(outline)
    xs = [p[0] for p in outline]
    ys = [p[1] for p in outline]
    w, h = max(xs) - min(xs) or 1, max(ys) - min(ys) or 1
    uv = [((x - min(xs)) / w, (y - min(ys)) / h) for x, y in outline]
    front = [mesh.add_v(frame(x, y, z1)) for x, y in outline]
    mesh.poly(group, front, uv)
    back = [mesh.add_v(frame(x, y, z0)) for x, y in outline]
    mesh.poly(group, back[::-1], uv[::-1])
    for j in range(n):
        j1 = (j + 1) % n
        (xa, ya), (xb, yb) = outline[j], outline[j1]
        q = [mesh.add_v(frame(xa, ya, z0)), mesh.add_v(frame(xb, yb, z0)),
             mesh.add_v(frame(xb, yb, z1)), mesh.add_v(frame(xa, ya, z1))]
        mesh.quad(group, q, ((0, 0), (1, 0), (1, 1), (0, 1)))


def beam(mesh, group, p0, p1, up, width, thick):
    """A squared timber from p0 to p1, 'width' deep below the line towards -up, 'thick' across."""
    p0, p1 = np.array(p0, float), np.array(p1, float)
    length = float(np.linalg.norm(p1 - p0))
    d = (p1 - p0) / length
    s = unit(np.cross(d, up))
    u = np.cross(s, d)

    def frame(px, py, pz):
        return tuple(p0 + d * px + u * (py - width) + s * pz)
    prism(mesh, group, ((0, 0), (length, 0), (length, width), (0, width)), -thick / 2, thick / 2, frame)


def log(mesh, group, p0, p1, r, sides=6, phase=0.0):
    """A straight log with flat, hard-edged n-gon ends."""
    p0, p1 = np.array(p0, float), np.array(p1, float)
    d = (p1 - p0) / np.linalg.norm(p1 - p0)
    helper = np.array([0, 1.0, 0]) if abs(d[1]) < 0.9 else np.array([1.0, 0, 0])
    u = np.cross(d, helper)
    u /= np.linalg.norm(u)
    w = np.cross(u, d)
    offs = [r * (math.cos(a) * u + math.sin(a) * w) for a in (phase + 2 * math.pi * j / sides for j in range(sides))]
    rings = [[mesh.add_v(p + o) for o in offs] for p in (p0, p1)]
    tube(mesh, group, rings, (0.0, 1.0))
    uv = [(0.5 + 0.5 * math.cos(2 * math.pi * j / sides), 0.5 + 0.5 * math.sin(2 * math.pi * j / sides))
          for j in range(sides)]
    mesh.poly(group, [mesh.add_v(p1 + o) for o in offs][::-1], uv[::-1])   # the ring runs round -d
    mesh.poly(group, [mesh.add_v(p0 + o) for o in offs], uv)


def unit(v):
    v = np.asarray(v, float)
    return v / np.linalg.norm(v)


# ---- trees ------------------------------------------------------------------

def make_pine():
    """Stacked cones of needles on a bare lower trunk: the classic conifer, about 11 m."""
    rng = np.random.default_rng(101)
    m = Mesh("pine")
    trunk = [ring(m, y, r, 8, jitter=0.05, rng=rng) for y, r in
             ((-0.15, 0.32), (0.5, 0.26), (2.0, 0.22), (5.0, 0.15), (9.8, 0.05))]
    tube(m, "trunk", trunk, (0.0, 0.06, 0.2, 0.5, 1.0))
    cap(m, "trunk", trunk[0], -0.15, up=False)
    tiers = 7
    for k in range(tiers):
        t = k / (tiers - 1)
        yb = 1.7 + 8.4 * t ** 0.9 - 0.25 * t * t
        r = 2.55 * (1 - 0.8 * t) + 0.12
        h = 2.9 - 0.9 * t
        sides = 14
        phase = k * 0.55
        # ragged rim: every other point pokes out like a branch tip and sags a little
        rim = []
        for j in range(sides):
            a = phase + 2 * math.pi * j / sides
            rr = r * (1.0 if j % 2 == 0 else 0.84) * (1 + rng.uniform(-0.1, 0.1))
            rim.append(m.add_v((rr * math.cos(a), yb - (0.18 * r / 2.6 if j % 2 == 0 else 0), rr * math.sin(a))))
        mid = ring(m, yb + 0.42 * h, r * 0.52, sides, phase=phase, jitter=0.08, rng=rng)
        inner = ring(m, yb + 0.4, r * 0.3, sides, phase=phase)
        apex = m.add_v((rng.uniform(-0.05, 0.05), yb + h, rng.uniform(-0.05, 0.05)))
        tube(m, "needles", [rim, mid], (0.0, 0.45))
        fan(m, "needles", mid, apex, 0.45, 1.0)
        tube(m, "needles", [inner, rim], (0.9, 1.0))   # underside
    return m


def make_spruce():
    """Narrow spire of many drooping, saw-edged skirts reaching almost to the ground, about 13 m."""
    rng = np.random.default_rng(111)
    m = Mesh("spruce")
    trunk = [ring(m, y, r, 8, jitter=0.05, rng=rng) for y, r in
             ((-0.15, 0.3), (0.4, 0.24), (3.0, 0.18), (8.0, 0.1), (12.0, 0.04))]
    tube(m, "trunk", trunk, (0.0, 0.05, 0.25, 0.65, 1.0))
    cap(m, "trunk", trunk[0], -0.15, up=False)
    tiers, top = 11, 12.2
    for k in range(tiers):
        t = k / (tiers - 1)
        yb = 0.9 + (top - 2.2) * t
        r = 2.3 * (1 - t) ** 1.1 + 0.28
        h = 1.75 - 0.55 * t
        sides = 16
        phase = k * 0.9
        collar = ring(m, yb + h, r * 0.1 + 0.06, sides, phase=phase)
        shoulder = ring(m, yb + 0.6 * h, r * 0.58, sides, phase=phase, jitter=0.07, rng=rng)
        rim = []
        for j in range(sides):
            a = phase + 2 * math.pi * j / sides
            tip = j % 2 == 0
            rr = r * (1.0 if tip else 0.7) * (1 + rng.uniform(-0.08, 0.08))
            droop = (0.32 if tip else 0.1) * (0.6 + 0.4 * (1 - t))
            rim.append(m.add_v((rr * math.cos(a), yb - droop, rr * math.sin(a))))
        under = ring(m, yb + 0.35 * h, r * 0.22, sides, phase=phase)
        tube(m, "needles", [rim, shoulder, collar], (0.0, 0.6, 1.0))
        tube(m, "needles", [under, rim], (0.9, 1.0))    # underside
    # the leader: a slim spike above the last skirt
    base = ring(m, top - 0.4, 0.12, 8, phase=0.2)
    fan(m, "needles", base, m.add_v((0.0, top + 1.0, 0.0)), 0.0, 1.0)
    return m


def make_oak():
    """Broad, lumpy crown on a short stout trunk, about 10 m."""
    rng = np.random.default_rng(202)
    m = Mesh("oak")
    sides = 7
    trunk = [ring(m, y, r, sides, jitter=0.08, rng=rng) for y, r in ((-0.15, 0.42), (0.6, 0.33), (2.6, 0.27), (4.2, 0.18))]
    tube(m, "trunk", trunk, (0.0, 0.15, 0.6, 1.0))
    cap(m, "trunk", trunk[0], -0.15, up=False)
    branch(m, "trunk", (0.1, 2.9, 0.0), (1.5, 4.6, 0.4), 0.14, 0.06)
    branch(m, "trunk", (-0.1, 3.2, 0.0), (-1.4, 4.8, -0.5), 0.13, 0.06)
    branch(m, "trunk", (0.0, 3.6, 0.1), (0.2, 5.2, 1.4), 0.11, 0.05)
    crowns = (((0.0, 5.6, 0.0), (2.4, 1.9, 2.4)), ((1.6, 4.9, 0.5), (1.6, 1.4, 1.6)),
              ((-1.5, 5.0, -0.6), (1.7, 1.4, 1.6)), ((0.3, 4.8, 1.6), (1.4, 1.2, 1.3)),
              ((-0.6, 4.7, 1.2), (1.2, 1.0, 1.1)), ((0.7, 5.2, -1.4), (1.3, 1.1, 1.2)))
    for c, r in crowns:
        blob(m, "leaves", c, r, 1, rng, rough=0.35)
    m.scale(1.3)
    return m


def make_birch():
    """Slender, slightly bowed white trunk with dark bark marks and a loose oval crown, about 12 m."""
    rng = np.random.default_rng(707)
    m = Mesh("birch")
    sides = 8
    heights = [-0.15, 0.35, 0.9, 1.5, 1.62, 2.3, 3.0, 3.12, 3.8, 4.6, 4.7, 5.5, 6.3, 6.4, 7.2, 8.2, 9.2, 10.4]
    bands = {3, 6, 9, 12}                 # the thin segments that carry the dark lenticel bands

    def bow(y):
        return 0.22 * math.sin(y / 10.4 * math.pi * 0.9)

    rings_ = [ring(m, y, 0.2 * (1 - y / 12.5) ** 1.2 + 0.035, sides, cx=bow(y), phase=0.3, jitter=0.04, rng=rng)
              for y in heights]
    band_marks = {(k, j): rng.uniform() < 0.7 for k in range(len(heights)) for j in range(sides)}

    def bark(k, j):
        if k == 0 or (k in bands and band_marks[(k, j)]):
            return "bark_marks"          # dark foot of the trunk and the lenticel bands
        return "bark"
    tube(m, bark, rings_, [y / heights[-1] for y in heights])
    cap(m, "bark", rings_[0], -0.15, cx=bow(-0.15), up=False)
    # a few thin limbs angled up and out, ending inside the crown lumps
    # spread round the trunk by the golden angle, shorter towards the top
    limbs = [(3.9 + 0.8 * k, 0.4 + 2.4 * k, 1.9 - 0.11 * k, 2.1 - 0.05 * k) for k in range(8)]
    crown = []
    for y, a, reach, rise in limbs:
        p0 = np.array((bow(y), y, 0.0))
        d = np.array((math.cos(a) * reach, rise, math.sin(a) * reach))
        limb(m, "bark", (p0, p0 + d * 0.55, p0 + d), (0.07, 0.045, 0.025), sides=5)
        crown.append(p0 + d * 0.9)
    crown.append(np.array((bow(10.4), 10.9, 0.0)))
    for k, c in enumerate(crown):
        top = k == len(crown) - 1
        r = (1.2, 1.6, 1.2) if top else (1.45 + 0.2 * rng.uniform(), 1.7 + 0.3 * rng.uniform(), 1.4 + 0.2 * rng.uniform())
        blob(m, "leaves", c, r, 1, rng, rough=0.4)
    blob(m, "leaves", (bow(7.8), 7.9, 0.0), (1.6, 3.2, 1.6), 1, rng, rough=0.3)   # fills the crown's middle
    return m


def make_stump():
    """A sawn-off stump with flaring roots and a pale cut face, 0.6 m high."""
    rng = np.random.default_rng(606)
    m = Mesh("stump")
    sides = 14
    rings_ = [ring(m, y, r, sides, jitter=j, rng=rng) for y, r, j in
              ((-0.1, 0.46, 0.12), (0.04, 0.38, 0.08), (0.14, 0.33, 0.05), (0.3, 0.3, 0.04),
               (0.48, 0.29, 0.03), (0.62, 0.285, 0.03))]
    tube(m, "bark", rings_, (0.0, 0.1, 0.22, 0.45, 0.75, 1.0))
    # the cut: a bark lip, then the wood, dipping a little towards the heart
    lip = [m.add_v((x * 0.88, 0.6, z * 0.88)) for x, _, z in (m.v[i] for i in rings_[-1])]
    tube(m, "bark", [rings_[-1], lip], (0.0, 1.0))
    heart = [m.add_v((x * 0.5, 0.59, z * 0.5)) for x, _, z in (m.v[i] for i in lip)]
    tube(m, "wood", [lip, heart], (0.0, 1.0))
    cap(m, "wood", heart, 0.585, up=True)
    cap(m, "bark", rings_[0], -0.1, up=False)
    for k in range(5):   # root flares, bending down into the ground
        a = k * 2 * math.pi / 5 + 0.4 + rng.uniform(-0.25, 0.25)
        reach = rng.uniform(0.7, 0.85)
        d = np.array((math.cos(a), 0, math.sin(a)))
        limb(m, "bark", (d * 0.2 + (0, 0.2, 0), d * (0.2 + 0.5 * reach) + (0, 0.04, 0), d * (0.2 + reach) + (0, -0.08, 0)),
             (0.11, 0.075, 0.035), sides=6)
    return m


# ---- plants -------------------------------------------------------------------

def make_bush():
    """A rounded shrub of a few leafy lumps, about 1.2 m high."""
    rng = np.random.default_rng(404)
    m = Mesh("bush")
    lumps = (((0.0, 0.62, 0.0), (0.8, 0.66, 0.75)), ((0.62, 0.45, 0.25), (0.55, 0.45, 0.5)),
             ((-0.55, 0.42, -0.2), (0.58, 0.44, 0.55)), ((0.1, 0.4, -0.62), (0.5, 0.4, 0.45)),
             ((-0.3, 0.36, 0.55), (0.45, 0.36, 0.42)))
    for c, r in lumps:
        blob(m, "leaves", c, r, 1, rng, rough=0.4, flat_below=-0.02)
    m.scale(0.9)
    m.centre_xz()
    return m


def make_grass():
    """A tuft of curving blades, some of them gone dry, about 0.3 m high."""
    rng = np.random.default_rng(505)
    m = Mesh("grass_tuft")
    blades = 40
    for b in range(blades):
        a = 2 * math.pi * b / blades + rng.uniform(-0.25, 0.25)
        rad = 0.045 * math.sqrt(rng.uniform(0.05, 1.0))
        lean = rng.uniform(0.04, 0.16) * (0.5 + rad / 0.045)
        hgt = rng.uniform(0.17, 0.33)
        width = rng.uniform(0.0075, 0.011)
        dry = rng.uniform() < 0.22
        base = np.array((math.cos(a) * rad, -0.015, math.sin(a) * rad))
        turn = a + rng.uniform(-0.35, 0.35)
        out = np.array((math.cos(turn), 0, math.sin(turn)))
        side = np.array((-math.sin(turn), 0, math.cos(turn)))
        # three segments bending outwards, then a tip
        ts = (0.0, 0.35, 0.65, 0.88)
        pts = [base + out * lean * t * t + np.array((0, hgt * (t - 0.12 * t ** 3), 0)) for t in ts + (1.0,)]
        left = [pts[k] - side * width * (1 - 0.65 * ts[k]) for k in range(4)]
        right = [pts[k] + side * width * (1 - 0.65 * ts[k]) for k in range(4)]
        ribbon(m, "dry_blades" if dry else "blades", left, right, tip=pts[4], u=(b / blades, (b + 1) / blades))
    return m


def make_fern():
    """Arching fronds with paired leaflets, about 0.7 m high and 1.4 m across."""
    rng = np.random.default_rng(808)
    m = Mesh("fern")
    fronds = 11
    for f in range(fronds):
        a = 2 * math.pi * f / fronds + rng.uniform(-0.2, 0.2)
        reach = rng.uniform(0.52, 0.7)
        h0 = rng.uniform(0.95, 1.12)
        out = np.array((math.cos(a), 0, math.sin(a)))
        side = np.array((-math.sin(a), 0, math.cos(a)))
        up = np.array((0, 1.0, 0))

        def rachis(t):
            return out * (0.03 + reach * t) + up * (h0 * (1.8 * t - 1.3 * t * t) - 0.01)

        def tangent(t):
            return unit(out * reach + up * h0 * (1.8 - 2.6 * t))
        # the stalk: a narrow strip, flat to the side
        ts = [k / 6 for k in range(7)]
        wid = [0.008 * (1 - 0.7 * t) for t in ts]
        ribbon(m, "fronds", [rachis(t) - side * w for t, w in zip(ts, wid)],
               [rachis(t) + side * w for t, w in zip(ts, wid)], u=(0.45, 0.55))
        # leaflets from a bare lower stalk to the tip, longest in the middle, swept towards the tip
        stations = 10
        for j in range(stations):
            t = 0.28 + 0.69 * j / (stations - 1)
            p, d = rachis(t), tangent(t)
            length = 0.03 + 0.17 * math.sin(math.pi * (t - 0.2) / 0.8) ** 0.8
            wide = 0.35 * length
            for sgn in (-1, 1):
                o = side * sgn
                tip = p + o * length + d * length * 0.45 - up * length * 0.25
                mid = p + o * length * 0.45 + d * length * 0.15
                ribbon(m, "fronds", [p - d * wide * 0.5, mid - d * wide * 0.5],
                       [p + d * wide * 0.5, mid + d * wide * 0.5], tip=tip,
                       u=(0.0 if sgn < 0 else 0.5, 0.5 if sgn < 0 else 1.0))
    return m


def make_flowers():
    """A clump of meadow flowers (yellow, white and violet heads) over a few leaves, about 0.5 m."""
    rng = np.random.default_rng(909)
    m = Mesh("flowers")
    up = np.array((0, 1.0, 0))
    for b in range(9):   # long leaves at the foot
        a = 2 * math.pi * b / 9 + rng.uniform(-0.3, 0.3)
        out = np.array((math.cos(a), 0, math.sin(a)))
        side = np.array((-math.sin(a), 0, math.cos(a)))
        ln, w = rng.uniform(0.14, 0.22), rng.uniform(0.014, 0.02)
        pts = [out * (0.02 + ln * t) + up * (ln * (1.1 * t - 0.7 * t * t)) for t in (0.0, 0.5, 1.0)]
        ribbon(m, "stems", [pts[0] - side * w * 0.5, pts[1] - side * w], [pts[0] + side * w * 0.5, pts[1] + side * w],
               tip=pts[2])
    colours = ("petals_yellow", "petals_white", "petals_violet")
    heads = 11
    for f in range(heads):
        a = 2 * math.pi * f / heads * 2.0 + rng.uniform(-0.3, 0.3)
        rad = 0.1 * math.sqrt(rng.uniform(0.0, 1.0))
        hgt = rng.uniform(0.3, 0.5)
        lean = rng.uniform(0.03, 0.1) + rad * 0.6
        out = np.array((math.cos(a), 0, math.sin(a)))
        base = out * rad * 0.4
        top = base + out * lean + up * hgt
        midp = base + out * lean * 0.3 + up * hgt * 0.55
        limb(m, "stems", (base + up * -0.01, midp, top), (0.006, 0.005, 0.004), sides=4, tip=False)
        # the head faces up and a little outwards
        n = unit(up + out * 0.7)
        e1 = unit(np.cross(n, np.array((0, 0, 1.0)) if abs(n[2]) < 0.9 else np.array((1.0, 0, 0))))
        e2 = np.cross(n, e1)
        petals = 7
        size = rng.uniform(0.038, 0.05)
        centre = top + n * 0.004
        disc = [m.add_v(centre + 0.011 * size / 0.035 * (math.cos(t) * e1 + math.sin(t) * e2))
                for t in (2 * math.pi * j / petals for j in range(petals))]
        dome = m.add_v(centre + n * 0.008)
        below = m.add_v(top - n * 0.006)
        for j in range(petals):   # the disc, domed on top, closed below
            j1 = (j + 1) % petals
            mid_uv = (0.5, 0.5)
            rim_uv = ((0.5 + 0.5 * math.cos(2 * math.pi * j / petals), 0.5 + 0.5 * math.sin(2 * math.pi * j / petals)),
                       (0.5 + 0.5 * math.cos(2 * math.pi * j1 / petals), 0.5 + 0.5 * math.sin(2 * math.pi * j1 / petals)))
            m.tri("flower_centre", (disc[j], disc[j1], dome), (rim_uv[0], rim_uv[1], mid_uv))
            m.tri("flower_centre", (disc[j1], disc[j], below), (rim_uv[1], rim_uv[0], mid_uv))
        col = colours[int(rng.integers(0, 3))] if f else colours[0]
        for j in range(petals):
            t = 2 * math.pi * (j + 0.5) / petals + rng.uniform(-0.1, 0.1)
            radial = math.cos(t) * e1 + math.sin(t) * e2
            tang = -math.sin(t) * e1 + math.cos(t) * e2
            root = top + radial * 0.006
            tip = top + radial * size - n * size * 0.15
            w = size * 0.28
            mid = top + radial * size * 0.55 + n * size * 0.04
            ribbon(m, col, [root - tang * w * 0.35, mid - tang * w], [root + tang * w * 0.35, mid + tang * w], tip=tip)
    m.centre_xz()
    return m


# ---- rocks --------------------------------------------------------------------

def make_boulder():
    """A rounded field boulder, 1.7 m long."""
    rng = np.random.default_rng(303)
    m = Mesh("boulder")
    blob(m, "rock", (0.0, 0.38, 0.0), (0.85, 0.62, 0.7), 2, rng, rough=0.45, flat_below=-0.12)
    m.centre_xz()
    return m


def make_slab():
    """A flat, table-topped rock slab with a broken-off piece beside it, about 1.9 m long."""
    rng = np.random.default_rng(313)
    m = Mesh("slab")
    blob(m, "rock", (0.0, 0.14, 0.0), (0.95, 0.3, 0.62), 2, rng, rough=0.35, flat_below=-0.06, flat_above=0.3)
    blob(m, "rock", (0.62, 0.07, 0.68), (0.3, 0.13, 0.22), 1, rng, rough=0.3, flat_below=-0.04, flat_above=0.14)
    m.centre_xz()
    return m


def make_rock_cluster():
    """Two rocks and three stones huddled together, moss on their tops, about 1.7 m across."""
    rng = np.random.default_rng(323)
    m = Mesh("rock_cluster")
    rocks = (((0.0, 0.36, 0.0), (0.58, 0.48, 0.52), 2), ((0.66, 0.2, 0.32), (0.4, 0.3, 0.36), 2),
             ((-0.52, 0.1, 0.42), (0.22, 0.16, 0.2), 1), ((0.22, 0.07, 0.7), (0.17, 0.11, 0.15), 1),
             ((-0.4, 0.12, -0.5), (0.24, 0.17, 0.22), 1))
    mossy = []
    for c, r, sub in rocks:
        faces = blob(m, "rock", c, r, sub, rng, rough=0.5, flat_below=-0.05)
        if sub == 2:
            mossy += list(faces)
    for i in mossy:   # moss where the big rocks face the sky
        g, vs, ts = m.faces[i]
        n = unit(m.face_normal(vs))
        if n[1] > 0.8:
            m.faces[i] = ("moss", vs, ts)
    m.centre_xz()
    return m


# ---- buildings ----------------------------------------------------------------

def make_fence():
    """One 2 m section of a rustic picket fence: two posts, two rails, pointed pickets."""
    rng = np.random.default_rng(919)
    m = Mesh("fence", keep_quads=True)
    half, post = 0.96, 0.055
    for x in (-half, half):   # square posts with a pyramid top
        box(m, "posts", (x - post, -0.05, -post), (x + post, 1.12, post))
        apex = m.add_v((x, 1.2, 0.0))
        corners = ((x - post, -post), (x + post, -post), (x + post, post), (x - post, post))
        for j in range(4):
            (ax, az), (bx, bz) = corners[j], corners[(j + 1) % 4]
            m.tri("posts", (m.add_v((bx, 1.12, bz)), m.add_v((ax, 1.12, az)), apex), ((1, 0), (0, 0), (0.5, 1)))
    for y in (0.28, 0.8):     # rails, in three lengths each so they can sag a touch
        xs = np.linspace(-half + post, half - post, 4)
        for k in range(3):
            s0, s1 = -0.006 * math.sin(math.pi * k / 3), -0.006 * math.sin(math.pi * (k + 1) / 3)
            box(m, "rails", (xs[k], y - 0.045 + min(s0, s1), -0.03), (xs[k + 1], y + 0.045 + min(s0, s1), 0.015))
    pickets = 16
    pitch = (2 * (half - post) - 0.01) / pickets
    for k in range(pickets):
        x = -half + post + 0.005 + pitch * (k + 0.5) + rng.uniform(-0.006, 0.006)
        w = 0.043
        top = 1.0 + rng.uniform(-0.025, 0.025)
        tilt = rng.uniform(-0.015, 0.015)
        outline = ((-w, 0.02), (w, 0.02), (w, top - 0.07), (0.0, top), (-w, top - 0.07))

        def place(px, py, pz, x=x, tilt=tilt):
            return (x + px + tilt * py, py, pz)
        prism(m, "pickets", outline, 0.015, 0.037, place)
    return m


def make_cabin():
    """A small log cabin, about 5 m wide: notched log walls, door, windows, a stone chimney,
    and a shingled roof (walls and roof go to separate OBJ files)."""
    rng = np.random.default_rng(929)
    m = Mesh("cabin", keep_quads=True)
    hx, hz, r, course = 2.0, 1.8, 0.13, 0.25
    over = 0.17                    # log ends sticking out past the corners
    courses = 10
    for k in range(courses):
        y = r + course * k
        for z in (-hz, hz):        # long walls
            log(m, "logs", (-hx - over, y, z), (hx + over, y + rng.uniform(-0.01, 0.01), z), r * rng.uniform(0.95, 1.05))
        for x in (-hx, hx):        # end walls, half a course up (the notching)
            log(m, "logs", (x, y + course / 2, -hz - over), (x, y + course / 2, hz + over), r * rng.uniform(0.95, 1.05))
    eave = r + course * (courses - 1) + course / 2 + r      # top of the last end-wall log
    rise = 1.6
    ridge = eave + rise
    # gables: shorter and shorter logs up the end walls, cut to the roof
    y = eave + course / 2
    while y < ridge - 0.25:
        reach = hz * (ridge - y - r) / rise
        for x in (-hx, hx):
            log(m, "logs", (x, y, -reach), (x, y, reach), r * 0.95)
        y += course
    # door with its frame, and three windows
    fz = hz + r
    box(m, "door", (-0.45, 0.0, fz - 0.08), (0.45, 1.95, fz + 0.03))
    box(m, "frame", (-0.56, 0.0, fz - 0.06), (-0.45, 2.06, fz + 0.05))
    box(m, "frame", (0.45, 0.0, fz - 0.06), (0.56, 2.06, fz + 0.05))
    box(m, "frame", (-0.56, 1.95, fz - 0.06), (0.56, 2.06, fz + 0.05))

    def window(place, cu, cy, w, h):
        """Glass, frame, sill and glazing bars, built in the wall's own frame: u along the wall,
        y up, d out of it (d = 0 on the logs' outer face); 'place' maps that onto the model."""
        def b(lo, hi, g):
            p, q = place(*lo), place(*hi)
            box(m, g, np.minimum(p, q), np.maximum(p, q))
        t = 0.07
        b((cu - w / 2, cy - h / 2, -0.05), (cu + w / 2, cy + h / 2, 0.01), "window")
        b((cu - w / 2 - t, cy - h / 2 - t, -0.04), (cu - w / 2, cy + h / 2 + t, 0.04), "frame")
        b((cu + w / 2, cy - h / 2 - t, -0.04), (cu + w / 2 + t, cy + h / 2 + t, 0.04), "frame")
        b((cu - w / 2, cy + h / 2, -0.04), (cu + w / 2, cy + h / 2 + t, 0.04), "frame")
        b((cu - w / 2 - 0.04, cy - h / 2 - t, -0.04), (cu + w / 2 + 0.04, cy - h / 2, 0.08), "frame")
        b((cu - 0.02, cy - h / 2, -0.02), (cu + 0.02, cy + h / 2, 0.03), "frame")
        b((cu - w / 2, cy - 0.02, -0.02), (cu + w / 2, cy + 0.02, 0.03), "frame")

    def front(u, y, d):
        return np.array((u, y, fz + d))

    def end_wall(u, y, d):
        return np.array((hx + r + d, y, -u))
    window(front, -1.25, 1.3, 0.7, 0.72)
    window(front, 1.25, 1.3, 0.7, 0.72)
    window(end_wall, 0.0, 1.35, 0.6, 0.6)
    # stone footing, a step before the door, and a chimney against the far end wall
    box(m, "stone", (-hx - 0.05, -0.1, -hz - 0.05), (hx + 0.05, 0.06, hz + 0.05))
    box(m, "stone", (-0.65, -0.05, fz), (0.65, 0.16, fz + 0.42))
    cx0 = -hx - r - 0.02
    box(m, "stone", (cx0 - 0.6, -0.05, -0.55), (cx0, 1.5, 0.55))
    box(m, "stone", (cx0 - 0.5, 1.5, -0.42), (cx0, 2.2, 0.42))
    box(m, "stone", (cx0 - 0.42, 2.2, -0.32), (cx0 + 0.02, ridge + 0.75, 0.32))
    box(m, "stone", (cx0 - 0.47, ridge + 0.75, -0.37), (cx0 + 0.07, ridge + 0.87, 0.37))
    # roof: overlapping rows of shingles on both slopes, a ridge log, barge boards
    rx, ez = hx + over + 0.2, hz + 0.5           # half width of the roof, horizontal reach of a slope
    slope = rise / hz
    rows = 7
    for sgn in (-1, 1):
        n = np.array((0, 1.0, sgn * slope)) / math.hypot(1, slope)   # out of this slope

        for k in range(rows):
            z0, z1 = ez * k / rows, ez * (k + 1) / rows

            def frame(px, py, pz, sgn=sgn, n=n, z0=z0):
                # (x, horizontal run from the ridge, height off the slope) -> model space; each
                # row's lower edge stands proud of the next row down, like shingle butts
                lift = pz + 0.1 + 0.05 * (py - z0) / (ez / rows)
                return tuple(np.array((px, ridge - py * slope, sgn * py)) + n * lift)
            prism(m, "roof", ((-rx, z0), (rx, z0), (rx, z1), (-rx, z1)), -0.035, 0.035, frame)
        for x in (-rx - 0.02, rx + 0.02):   # barge boards along the gable edge
            top = np.array((x, ridge + 0.22, 0.0))
            low = np.array((x, ridge + 0.22 - (ez + 0.05) * slope, sgn * (ez + 0.05)))
            beam(m, "roof_trim", top, low, n, 0.24, 0.05)
    log(m, "roof_trim", (-rx - 0.05, ridge + 0.2, 0), (rx + 0.05, ridge + 0.2, 0), 0.1, sides=6, phase=math.pi / 6)
    m.centre_xz()
    return m


# colours used for the thumbnails and the buildings' material file (the other OBJ files
# carry no materials); a prop can override a group's colour (spruce needles, sandstone)
GROUP_COLOURS = {
    "trunk": (112, 82, 58), "bark": (110, 84, 62), "wood": (196, 160, 112),
    "needles": (58, 112, 70), "leaves": (92, 142, 62), "rock": (150, 146, 138),
    "blades": (128, 170, 70), "dry_blades": (180, 170, 100), "bark_marks": (54, 50, 48),
    "fronds": (76, 138, 58), "stems": (86, 134, 56), "flower_centre": (220, 150, 36),
    "petals_yellow": (240, 204, 58), "petals_white": (238, 236, 228), "petals_violet": (150, 106, 204),
    "moss": (98, 128, 56),
    "posts": (128, 104, 80), "rails": (142, 116, 88), "pickets": (160, 134, 104),
    "logs": (146, 100, 62), "door": (96, 64, 42), "frame": (206, 194, 168), "window": (58, 78, 100),
    "stone": (146, 142, 134), "roof": (104, 66, 54), "roof_trim": (84, 56, 44),
}


def fmt(x):
    s = f"{x:.5f}".rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def obj_text(mesh, corners="v/vt/vn", negative=False, smooth=None, object_name=None, mtllib=None, usemtl=False,
             note=None):
    """The mesh as Wavefront OBJ text, with one 'g' per group.

    corners picks the face corner form ("v", "v/vt", "v//vn" or "v/vt/vn"); negative
    writes indices relative to the end of the lists so far (every v, vt and vn comes
    before the faces, so -1 is the last one); smooth adds an 's' line, object_name an
    'o' line, mtllib a material library and usemtl a 'usemtl' per group (each material is
    named as its group). The program does not read materials and says so for every usemtl
    it meets, so only one sample file carries them.
    """
    mesh.dedupe_vt()
    with_t, with_n = "vt" in corners, "vn" in corners
    nv, nt = len(mesh.v), len(mesh.vt)
    lines = [f"# {mesh.name}: OROVISTA sample prop, written by tools/datagen/make_data.py",
             "# units: Poser native units (1 unit = 2.4384 m), y up",
             f"# {nv} vertices, {len(mesh.faces)} faces, {mesh.tri_count()} triangles"]
    if note:
        lines.append(f"# {note}")
    if mtllib:
        lines.append(f"mtllib {mtllib}")
    if object_name:
        lines.append(f"o {object_name}")
    for p in mesh.v:
        lines.append("v " + " ".join(fmt(c / POSER_UNIT_M) for c in p))
    if with_t:
        for uv in mesh.vt:
            lines.append("vt " + " ".join(fmt(c) for c in uv))
    if with_n:
        for n in mesh.normals():
            lines.append("vn " + " ".join(fmt(c) for c in n))
    if smooth is not None:
        lines.append(f"s {smooth}")

    def ref(i, count):
        return str(i - count if negative else i + 1)

    def corner(v, t):
        if corners == "v":
            return ref(v, nv)
        if corners == "v/vt":
            return f"{ref(v, nv)}/{ref(t, nt)}"
        if corners == "v//vn":
            return f"{ref(v, nv)}//{ref(v, nv)}"
        return f"{ref(v, nv)}/{ref(t, nt)}/{ref(v, nv)}"
    for g in mesh.groups():
        lines.append(f"g {g}")
        if usemtl:
            lines.append(f"usemtl {g}")
        for gg, vs, ts in mesh.faces:
            if gg == g:
                lines.append("f " + " ".join(corner(v, t) for v, t in zip(vs, ts)))
    return "\n".join(lines) + "\n"


def mtl_text(materials, colours):
    lines = ["# OROVISTA sample props: materials of the buildings, written by tools/datagen/make_data.py"]
    for name in materials:
        r, g, b = (c / 255 for c in colours[name])
        lines += ["", f"newmtl {name}", f"Kd {r:.3f} {g:.3f} {b:.3f}", "Ka 0 0 0", "Ks 0.05 0.05 0.05",
                  "Ns 20", "illum 2"]
    return "\n".join(lines) + "\n"


def lean_target(height_m, reach_m, power=2.0, from_t=0.05, sideways=0.0):
    """A morph that bends a plant over: every vertex above from_t of the height moves along +x
    (and sideways of that along +z) by reach_m * t ** power, t being its height over the top's."""
    def target(mesh):
        deltas = []
        for i, (_, y, _) in enumerate(mesh.v):
            t = y / height_m(mesh)
            if t <= from_t:
                continue
            d = reach_m * t ** power
            dx, dz = fmt(d / POSER_UNIT_M), fmt(d * sideways / POSER_UNIT_M)
            if dx != "0" or dz != "0":
                deltas.append((i, dx, "0", dz))
        return deltas
    return target


def top_of(mesh):
    return max(y for _, y, _ in mesh.v)


def target_channel(name, deltas, vertex_count):
    """A targetGeom channel of a prop (a Poser morph target): 0-based vertex index and offset in
    Poser units per moved vertex."""
    lines = [f"\t\ttargetGeom {name}", "\t\t\t{", f"\t\t\tname {name}", "\t\t\tinitValue 0", "\t\t\thidden 0",
             "\t\t\tforceLimits 1", "\t\t\tmin 0", "\t\t\tmax 1", "\t\t\ttrackingScale 0.02", "\t\t\tkeys",
             "\t\t\t\t{", "\t\t\t\tstatic 0", "\t\t\t\tk 0 0", "\t\t\t\t}", "\t\t\tinterpStyleLocked 0",
             f"\t\t\tindexes {len(deltas)}", f"\t\t\tnumbDeltas {vertex_count}", "\t\t\tdeltas", "\t\t\t\t{"]
    lines += [f"\t\t\t\td {i} {dx} {dy} {dz}" for i, dx, dy, dz in deltas]
    lines += ["\t\t\t\t}", "\t\t\t}"]
    return lines


def pp2_text(name, geometry_lines, kd, targets=()):
    """A Poser prop file; geometry_lines is the storage block's body (tab indented), targets
    the lines of its morph target channels (which come first among the channels)."""
    r, g, b = kd
    chan = list(targets)
    for ch, kind, init in (("scale", "propagatingScale", 1), ("xScale", "propagatingScaleX", 1),
                           ("yScale", "propagatingScaleY", 1), ("zScale", "propagatingScaleZ", 1),
                           ("yrot", "rotateY", 0), ("xrot", "rotateX", 0), ("zrot", "rotateZ", 0),
                           ("xtran", "translateX", 0), ("ytran", "translateY", 0), ("ztran", "translateZ", 0)):
        chan += [f"\t\t{kind} {ch}", "\t\t\t{", f"\t\t\tname {ch}", f"\t\t\tinitValue {init}", "\t\t\thidden 0",
                 "\t\t\tforceLimits 0", "\t\t\tmin -100000", "\t\t\tmax 100000", "\t\t\ttrackingScale 0.004",
                 "\t\t\tkeys", "\t\t\t\t{", "\t\t\t\tstatic 0", f"\t\t\t\tk 0 {init}", "\t\t\t\t}",
                 "\t\t\tinterpStyleLocked 0", "\t\t\t}"]
    lines = ["{", "", "version", "\t{", "\tnumber 4.01", "\t}",
             f"prop {name}", "\t{", "\tstorageOffset 0 0 0"] + geometry_lines + ["\t}", "",
             f"prop {name}", "\t{", f"\tname {name}", "\ton", "\tbend 1", "\tdynamicsLock 1", "\thidden 0",
             "\taddToMenu 1", "\tcastsShadow 1", "\tincludeInDepthCue 1", "\tparent UNIVERSE", "\tchannels", "\t\t{"] + chan + [
             "\t\t}", "\tendPoint 0 0 0", "\torigin 0 0 0", "\torientation 0 0 0", "\tdisplayOrigin 0",
             "\tdisplayMode USEPARENT", "\tcustomMaterial 1",
             "\tmaterial Preview", "\t\t{", f"\t\tKdColor {r:.3f} {g:.3f} {b:.3f} 1", "\t\tKaColor 0 0 0 1",
             "\t\tKsColor 0.05 0.05 0.05 1", "\t\tTextureColor 1 1 1 1", "\t\tNsExponent 20", "\t\ttMin 0",
             "\t\ttMax 0", "\t\ttExpo 0.6", "\t\tbumpStrength 1", "\t\tksIgnoreTexture 0", "\t\treflectThruLights 0",
             "\t\treflectThruKd 0", "\t\ttextureMap NO_MAP", "\t\tbumpMap NO_MAP", "\t\treflectionMap NO_MAP",
             "\t\ttransparencyMap NO_MAP", "\t\tReflectionColor 1 1 1 1", "\t\treflectionStrength 1", "\t\t}",
             "\tlocked 0", "\tbackfaceCull 0", "\tvisibileInReflections 1", "\tvisibileInRender 1",
             "\tdisplacementBounds 0", "\tshadingRate 0.2", "\tsmoothPolys 1", "\t}", "",
             "doc", "\t{", f"\taddActor {name}", "\t}", "}", ""]
    return "\n".join(lines)


def embedded_geometry(mesh):
    """geomCustom block of a prop that carries its own geometry (v, vt and f lines)."""
    mesh.dedupe_vt()
    corners = sum(len(vs) for _, vs, _ in mesh.faces)
    body = ["\tgeomCustom", "\t\t{", f"\t\tnumbVerts {len(mesh.v)}", f"\t\tnumbTVerts {len(mesh.vt)}",
            f"\t\tnumbTSets {corners}", f"\t\tnumbElems {len(mesh.faces)}", f"\t\tnumbSets {corners}"]
    for p in mesh.v:
        body.append("\t\tv " + " ".join(fmt(c / POSER_UNIT_M) for c in p))
    for uv in mesh.vt:
        body.append("\t\tvt " + " ".join(fmt(c) for c in uv))
    for _, vs, ts in mesh.faces:
        body.append("\t\tf " + " ".join(f"{v + 1}/{t + 1}" for v, t in zip(vs, ts)))
    body.append("\t\t}")
    return body


def read_obj_lines(lines):
    """Reads OBJ lines back the way the program does (v, vt, vn, f with any corner form and
    negative indices; g, o, s, usemtl, mtllib and comments pass) and returns the vertices and
    the triangle count; any index outside the lists read so far raises."""
    counts = {"v": 0, "vt": 0, "vn": 0}
    verts, tris = [], 0
    for line in lines:
        w = line.split()
        if not w or w[0].startswith("#") or w[0] in ("g", "o", "s", "usemtl", "mtllib"):
            continue
        if w[0] in counts:
            counts[w[0]] += 1
            if w[0] == "v":
                verts.append(tuple(float(c) for c in w[1:4]))
            continue
        assert w[0] == "f" and len(w) >= 4, f"unexpected OBJ line: {line!r}"
        for c in w[1:]:
            for kind, ix in zip(("v", "vt", "vn"), c.split("/")):
                if ix == "":
                    continue
                i = int(ix)
                i = i + counts[kind] + 1 if i < 0 else i
                assert 1 <= i <= counts[kind], f"{kind} index {ix} out of range in {line!r}"
        tris += len(w) - 3
    return verts, tris


def read_embedded(pp2):
    """The geomCustom block of a prop file read back: tabs stripped, lines with '{' or the
    numb... counts skipped, up to the first line with '}'."""
    lines = pp2.split("\n")
    k = next(i for i, ln in enumerate(lines) if ln.strip() == "geomCustom") + 1
    body = []
    for ln in lines[k:]:
        ln = ln.replace("\t", "")
        if "{" in ln or any(w in ln for w in ("numbVerts", "numbTVerts", "numbTSets", "numbElems", "numbSets")):
            continue
        if "}" in ln:
            break
        assert ln.split()[0] in ("v", "vt", "f"), f"unexpected line in geomCustom: {ln!r}"
        body.append(ln)
    return read_obj_lines(body)


def render_thumbnail(mesh, colours, size=91, yaw=-35.0, pitch=22.0):
    """Orthographic, flat-shaded software render of the mesh on a dark backdrop."""
    ss = 4
    S = size * ss
    v = np.array(mesh.v)
    ya, pa = math.radians(yaw), math.radians(pitch)
    ry = np.array([[math.cos(ya), 0, math.sin(ya)], [0, 1, 0], [-math.sin(ya), 0, math.cos(ya)]])
    rx = np.array([[1, 0, 0], [0, math.cos(pa), -math.sin(pa)], [0, math.sin(pa), math.cos(pa)]])
    rot = rx @ ry
    pv = v @ rot.T                                     # view space: x right, y up, z towards viewer
    lo, hi = pv.min(axis=0), pv.max(axis=0)
    span = max(hi[0] - lo[0], hi[1] - lo[1])
    scale = S * 0.80 / span
    cx, cy = (lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2
    sx = (pv[:, 0] - cx) * scale + S / 2
    sy = S / 2 - (pv[:, 1] - cy) * scale + S * 0.02
    sz = pv[:, 2]
    # backdrop: soft radial gradient and a contact shadow under the model
    yy, xx = np.mgrid[0:S, 0:S].astype(float)
    r = np.sqrt((xx - S / 2) ** 2 + (yy - S * 0.42) ** 2) / S
    img = np.zeros((S, S, 3))
    img[:] = (1.0 - 0.9 * r)[..., None] * np.array((84, 86, 92), float) + 8
    ground = np.array([[0, 0, 0]]) @ rot.T
    gy = S / 2 - (ground[0, 1] - cy) * scale + S * 0.02
    rad = (hi[0] - lo[0]) * scale * 0.42
    shadow = np.exp(-(((xx - S / 2) / max(rad, 1)) ** 2 + ((yy - gy) / max(rad * 0.3, 1)) ** 2) * 2.2)
    img *= (1 - 0.45 * shadow)[..., None]
    zbuf = np.full((S, S), -1e9)
    light = np.array((-0.45, 0.75, 0.55))
    light /= np.linalg.norm(light)
    for g, (a, b, c) in mesh.triangles():
        n = np.cross(v[b] - v[a], v[c] - v[a])
        ln = np.linalg.norm(n)
        if ln == 0:
            continue
        n = rot @ (n / ln)
        if n[2] < 0:           # seen from behind: light the other side (thin blades)
            n = -n
        shade = 0.38 + 0.62 * max(0.0, float(n @ light))
        col = np.array(colours.get(g, (180, 180, 180)), float) * shade
        x0, x1 = int(max(0, math.floor(min(sx[[a, b, c]])))), int(min(S - 1, math.ceil(max(sx[[a, b, c]]))))
        y0, y1 = int(max(0, math.floor(min(sy[[a, b, c]])))), int(min(S - 1, math.ceil(max(sy[[a, b, c]]))))
        if x1 < x0 or y1 < y0:
            continue
        px, py = np.meshgrid(np.arange(x0, x1 + 1) + 0.5, np.arange(y0, y1 + 1) + 0.5)
        ax_, ay_, bx, by, cx_, cy_ = sx[a], sy[a], sx[b], sy[b], sx[c], sy[c]
        den = (by - cy_) * (ax_ - cx_) + (cx_ - bx) * (ay_ - cy_)
        if abs(den) < 1e-9:
            continue
        w0 = ((by - cy_) * (px - cx_) + (cx_ - bx) * (py - cy_)) / den
        w1 = ((cy_ - ay_) * (px - cx_) + (ax_ - cx_) * (py - cy_)) / den
        w2 = 1 - w0 - w1
        inside = (w0 >= 0) & (w1 >= 0) & (w2 >= 0)
        z = w0 * sz[a] + w1 * sz[b] + w2 * sz[c]
        sub = zbuf[y0:y1 + 1, x0:x1 + 1]
        draw = inside & (z > sub)
        sub[draw] = z[draw]
        img[y0:y1 + 1, x0:x1 + 1][draw] = col
    out = to_img(img).resize((size, size), Image.LANCZOS)
    ImageDraw.Draw(out).rectangle([0, 0, size - 1, size - 1], outline=(30, 30, 32))
    return out


# Each prop: library category, name, builder, Poser diffuse colour, its geometry, and how
# it is written. 'files' lists (geometry folder, OBJ name, groups or None for all); no
# files means the geometry is embedded in the prop (geomCustom); 'morphs' lists (name,
# target) morph targets written into the prop file, for the program's random morph values
# to act on. The OBJ files try the
# forms the program reads: every face corner form, negative indices, groups, o/s lines,
# a material library, quads and n-gons, and one geometry path in double quotes.
PROPS = (
    dict(category="Trees", name="pine", build=make_pine, kd=(0.23, 0.44, 0.27),
         files=(("trees", "pine", None),), obj=dict(corners="v/vt/vn"),
         morphs=(("Lean", lean_target(top_of, 0.9)),)),
    dict(category="Trees", name="spruce", build=make_spruce, kd=(0.17, 0.36, 0.29),
         colours={"needles": (46, 100, 80)},
         files=(("trees", "spruce", None),), obj=dict(corners="v/vt", negative=True)),
    dict(category="Trees", name="oak", build=make_oak, kd=(0.36, 0.56, 0.24),
         files=(("trees", "oak", None),), obj=dict(corners="v/vt/vn"),
         morphs=(("Wind", lean_target(top_of, 0.6, power=1.5, from_t=0.3, sideways=0.35)),)),
    dict(category="Trees", name="birch", build=make_birch, kd=(0.54, 0.68, 0.30),
         colours={"bark": (226, 222, 210), "leaves": (138, 176, 70)},
         files=(("trees", "birch", None),), obj=dict(corners="v//vn", smooth=1)),
    dict(category="Trees", name="stump", build=make_stump, kd=(0.43, 0.33, 0.24), files=()),
    dict(category="Plants", name="bush", build=make_bush, kd=(0.36, 0.55, 0.24),
         files=(("plants", "bush", None),), obj=dict(corners="v/vt/vn")),
    dict(category="Plants", name="grass_tuft", build=make_grass, kd=(0.50, 0.67, 0.27),
         files=(("plants", "grass_tuft", None),), obj=dict(corners="v/vt")),
    dict(category="Plants", name="fern", build=make_fern, kd=(0.30, 0.54, 0.23),
         files=(("plants", "fern", None),), obj=dict(corners="v/vt/vn", negative=True)),
    dict(category="Plants", name="flowers", build=make_flowers, kd=(0.40, 0.56, 0.24),
         files=(("plants", "flowers", None),), obj=dict(corners="v/vt/vn", object_name="flowers")),
    dict(category="Rocks", name="boulder", build=make_boulder, kd=(0.59, 0.57, 0.54),
         files=(("rocks", "boulder", None),), obj=dict(corners="v", object_name="boulder", smooth=1)),
    dict(category="Rocks", name="slab", build=make_slab, kd=(0.65, 0.59, 0.49), quoted=True,
         colours={"rock": (170, 154, 128)}, files=(("rocks", "slab", None),), obj=dict(corners="v/vt/vn")),
    dict(category="Rocks", name="rock_cluster", build=make_rock_cluster, kd=(0.50, 0.49, 0.47),
         colours={"rock": (128, 126, 121)}, files=(("rocks", "rock_cluster", None),),
         obj=dict(corners="v//vn", smooth="off")),
    dict(category="Buildings", name="fence", build=make_fence, kd=(0.61, 0.51, 0.40),
         files=(("buildings", "fence", None),), obj=dict(corners="v/vt", mtllib="buildings.mtl", usemtl=True)),
    dict(category="Buildings", name="cabin", build=make_cabin, kd=(0.55, 0.38, 0.24),
         files=(("buildings", "cabin_walls", ("logs", "door", "frame", "window", "stone")),
                ("buildings", "cabin_roof", ("roof", "roof_trim"))),
         obj=dict(corners="v/vt/vn", mtllib="buildings.mtl",
                  note="one of two files of the cabin prop: cabin_walls.obj and cabin_roof.obj")),
)

MIN_TRIANGLES, MAX_TRIANGLES = 300, 3000   # what suits scattering hundreds of copies


def make_content():
    props_dir = CONTENT / "Runtime" / "Libraries" / "Props"
    geom_dir = CONTENT / "Runtime" / "Geometries"
    summary, materials = [], {}
    for prop in PROPS:
        category, name = prop["category"], prop["name"]
        mesh = prop["build"]()
        colours = dict(GROUP_COLOURS, **prop.get("colours", {}))
        lo, hi = mesh.bounds()
        tris = mesh.tri_count()
        assert MIN_TRIANGLES <= tris <= MAX_TRIANGLES, f"{name}: {tris} triangles"
        off = max(abs(lo[0] + hi[0]) / (hi[0] - lo[0]), abs(lo[2] + hi[2]) / (hi[2] - lo[2])) / 2
        assert -0.2 < lo[1] <= 0.0 and off < 0.1, f"{name}: not standing on the origin"
        geometry, read_back, read_tris = [], [], 0
        for folder, obj_name, groups in prop["files"]:
            part = mesh if groups is None else mesh.subset(groups)
            opts = prop.get("obj", {})
            if opts.get("mtllib"):
                for g in part.groups():
                    materials.setdefault((folder, opts["mtllib"]), {})[g] = colours[g]
            text = obj_text(part, **opts)
            path = geom_dir / folder / f"{obj_name}.obj"
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
            ref = f":Runtime:Geometries:{folder}:{obj_name}.obj"
            geometry.append(f'\tobjFileGeom 0 0 "{ref}"' if prop.get("quoted") else f"\tobjFileGeom 0 0 {ref}")
            verts, n = read_obj_lines(text.split("\n"))
            read_back += verts
            read_tris += n
        if not prop["files"]:
            geometry = embedded_geometry(mesh)
        pp2 = props_dir / category / f"{name}.pp2"
        pp2.parent.mkdir(parents=True, exist_ok=True)
        targets = []
        for target_name, target in prop.get("morphs", ()):
            deltas = target(mesh)
            assert deltas and all(0 <= i < len(mesh.v) for i, *_ in deltas), f"{name}: morph {target_name}"
            targets += target_channel(target_name, deltas, len(mesh.v))
        text = pp2_text(name, geometry, prop["kd"], targets)
        pp2.write_text(text)
        if not prop["files"]:
            read_back, read_tris = read_embedded(text)
        # what the program reads must be what was built
        assert read_tris == tris and len(read_back) == len(mesh.v), f"{name}: read back differs"
        save_png(render_thumbnail(mesh, colours), pp2.with_suffix(".png"))
        how = ("embedded" if not prop["files"] else
               f"{len(prop['files'])} OBJ files" if len(prop["files"]) > 1 else
               "quoted path" if prop.get("quoted") else None)
        summary.append(f"  {category}/{name}: {tris} triangles, "
                       f"{hi[0] - lo[0]:.2f} x {hi[1] - lo[1]:.2f} x {hi[2] - lo[2]:.2f} m"
                       + (f" ({how})" if how else ""))
    for (folder, lib), mats in sorted(materials.items()):
        (geom_dir / folder / lib).write_text(mtl_text(sorted(mats), mats))
    return summary


# ----------------------------------------------------------------------------

def main():
    os.umask(0o022)
    for d in (RES, LIB, CONTENT):
        d.mkdir(parents=True, exist_ok=True)
    make_action_icon()
    make_background()
    make_help_icon()
    make_logo()
    make_spinner()
    make_none()
    make_tool_icons()
    make_balloon()
    props = make_content()
    n_grad = gradients.make_gradients(RES)
    n_curve = curves.make_curves(RES)
    n_files = sum(1 for p in DATA.rglob("*") if p.is_file())
    print(f"datagen: {n_files} files in {DATA}: window images and tool icons, "
          f"{n_grad} gradients (+ thumbnails), {n_curve} curve pictures, "
          f"{len(props)} props:")
    print("\n".join(props))


if __name__ == "__main__":
    main()
