#!/usr/bin/python3
"""Colour gradients for the height maps: data/resources/gradients/*.bmp.

A gradient image is read along its first row: column c (0 ... 2047) colours
the height (c + 1) / 1024 - 1, so the left end colours the lowest ground and
the right end the highest.  Every gradient here is 2048 x 32 pixels (all rows
equal), 24-bit BMP, with a 48 x 12 thumbnail of the same name in "thumbs/".

Each landscape gradient is a list of stops (height, sRGB colour).  Between
stops the colours follow a monotone cubic curve in the Oklab colour space, so
the blends are smooth, keep their lightness order and never overshoot.  A few
gradients add thin strata (lightness and tint steps with soft edges) drawn
from a fixed seed.

Most of a Perlin height map lies within -0.6 ... +0.6 and only small patches
reach beyond +-0.9, so the distinctive bands sit in the middle; coastal
gradients put their shore line near -0.1 ... 0.

Used by make_data.py.  Run on its own with  --preview DIR  to colour a few
test height maps with every gradient (hill-shaded) into DIR for inspection.
"""

import sys
from pathlib import Path

import numpy as np
from PIL import Image

WIDTH = 2048
HEIGHT = 32
THUMB = (48, 12)

# Height coloured by each column (the loader's mapping).
HEIGHTS = (np.arange(WIDTH, dtype=np.float64) + 1.0) / 1024.0 - 1.0


def hexrgb(h):
    h = h.lstrip("#")
    return tuple(int(h[i:i + 2], 16) for i in (0, 2, 4))


# ----------------------------------------------------------------------------
# colour space: sRGB <-> linear RGB <-> Oklab
# ----------------------------------------------------------------------------

def srgb_to_linear(c):
    c = np.asarray(c, np.float64) / 255.0
    return np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)


def linear_to_srgb(c):
    c = np.clip(c, 0.0, 1.0)
    s = np.where(c <= 0.0031308, c * 12.92, 1.055 * np.power(c, 1.0 / 2.4) - 0.055)
    return s * 255.0


_M1 = np.array([[0.4122214708, 0.5363325363, 0.0514459929],
                [0.2119034982, 0.6806995451, 0.1073969566],
                [0.0883024619, 0.2817188376, 0.6299787005]])
_M2 = np.array([[0.2104542553, 0.7936177850, -0.0040720468],
                [1.9779984951, -2.4285922050, 0.4505937099],
                [0.0259040371, 0.7827717662, -0.8086757660]])


def srgb_to_oklab(rgb):
    lms = srgb_to_linear(rgb) @ _M1.T
    return np.cbrt(lms) @ _M2.T


def oklab_to_srgb(lab):
    lms = (lab @ np.linalg.inv(_M2).T) ** 3
    return linear_to_srgb(lms @ np.linalg.inv(_M1).T)


# ----------------------------------------------------------------------------
# interpolation
# ----------------------------------------------------------------------------

def monotone_cubic(xs, ys, x):
    """Fritsch-Carlson monotone cubic through (xs, ys), evaluated at x.

    Flat outside the first and last knot.  ys may be (n,) or (n, k)."""
    xs = np.asarray(xs, np.float64)
    ys = np.asarray(ys, np.float64)
    if ys.ndim == 1:
        return monotone_cubic(xs, ys[:, None], x)[:, 0]
    n = len(xs)
    h = np.diff(xs)
    d = np.diff(ys, axis=0) / h[:, None]
    m = np.zeros_like(ys)
    m[0], m[-1] = d[0], d[-1]
    for i in range(1, n - 1):
        same = d[i - 1] * d[i] > 0
        w1 = 2 * h[i] + h[i - 1]
        w2 = h[i] + 2 * h[i - 1]
        with np.errstate(divide="ignore", invalid="ignore"):
            harm = (w1 + w2) / (w1 / d[i - 1] + w2 / d[i])
        m[i] = np.where(same, harm, 0.0)
    # end slopes: keep them from overshooting
    for e, k in ((0, 0), (n - 1, n - 2)):
        m[e] = np.where(m[e] * d[k] <= 0, 0.0, m[e])
    x = np.clip(np.asarray(x, np.float64), xs[0], xs[-1])
    i = np.clip(np.searchsorted(xs, x, side="right") - 1, 0, n - 2)
    t = ((x - xs[i]) / h[i])[:, None]
    hh = h[i][:, None]
    t2, t3 = t * t, t * t * t
    return ((2 * t3 - 3 * t2 + 1) * ys[i] + (t3 - 2 * t2 + t) * hh * m[i]
            + (-2 * t3 + 3 * t2) * ys[i + 1] + (t3 - t2) * hh * m[i + 1])


def strata(seed, thickness=(0.008, 0.045), light=0.045, tint=0.012, soft=3.0):
    """Per-column Oklab offsets (WIDTH, 3) for rock layers: a sequence of
    layers of random thickness, each slightly lighter or darker and warmer or
    cooler than its neighbours, with edges softened over `soft` columns."""
    rs = np.random.RandomState(seed)
    off = np.zeros((WIDTH, 3))
    c = 0
    while c < WIDTH:
        n = max(2, int(round(rs.uniform(*thickness) * 1024)))
        off[c:c + n, 0] = rs.uniform(-light, light)
        off[c:c + n, 1] = rs.uniform(-tint, tint)
        off[c:c + n, 2] = rs.uniform(-tint, tint) * 1.5
        c += n
    r = int(np.ceil(3 * soft))
    k = np.exp(-0.5 * (np.arange(-r, r + 1) / soft) ** 2)
    k /= k.sum()
    padded = np.pad(off, ((r, r), (0, 0)), mode="edge")
    return np.stack([np.convolve(padded[:, j], k, mode="valid") for j in range(3)], 1)


def build_row(stops, layers=None):
    """One gradient row (WIDTH, 3) of uint8 from [(height, "#rrggbb"), ...]."""
    xs = [s[0] for s in stops]
    assert all(a < b for a, b in zip(xs, xs[1:])), "stops must increase"
    lab = srgb_to_oklab(np.array([hexrgb(s[1]) for s in stops], np.float64))
    row = monotone_cubic(xs, lab, HEIGHTS)
    if layers is not None:
        lo, hi, seed, kw = layers
        # fade the strata in and out at the ends of their height range
        w = np.clip(np.minimum(HEIGHTS - lo, hi - HEIGHTS) / 0.08, 0.0, 1.0)[:, None]
        row = row + strata(seed, **kw) * w
    return np.clip(np.rint(oklab_to_srgb(row)), 0, 255).astype(np.uint8)


# ----------------------------------------------------------------------------
# the gradients: file name -> (stops, optional strata (lo, hi, seed, options))
# ----------------------------------------------------------------------------

GRADIENTS = {
    # The default: red-earth outback.  Deep ochre gullies, broad red sand
    # plains, dry olive scrub on the rises, pale sandstone caps.
    "australia 2.bmp": ([
        (-1.00, "#4a1d0f"), (-0.70, "#6b2a14"), (-0.45, "#863a1e"),
        (-0.22, "#984a2c"), (-0.05, "#a55935"), (0.10, "#a26741"),
        (0.22, "#8f7343"), (0.34, "#717346"), (0.46, "#7e7650"),
        (0.58, "#b29770"), (0.72, "#cfb38c"), (0.88, "#dec8a6"),
        (1.00, "#e8d9bd")], None),

    # Sand sea: pale salt pans in the deepest hollows, clay flats, warm dune
    # sand through the middle, dark weathered rock on the high ridges.
    "desert.bmp": ([
        (-1.00, "#e6e0cf"), (-0.80, "#d8caa9"), (-0.66, "#b8946a"),
        (-0.45, "#c99a63"), (-0.15, "#dcb077"), (0.15, "#e7c48d"),
        (0.40, "#dcae74"), (0.56, "#b07d52"), (0.72, "#83604a"),
        (1.00, "#5f4a3c")], None),

    # Mountains: dark forested valley floors, green meadows, alpine pasture,
    # brown scree, grey rock, snow above roughly +0.55.
    "alpine.bmp": ([
        (-1.00, "#1f3320"), (-0.60, "#2c4a27"), (-0.30, "#4b7335"),
        (-0.08, "#6a8c45"), (0.08, "#56703a"), (0.20, "#7a7556"),
        (0.32, "#80786c"), (0.44, "#8e8a86"), (0.53, "#a6a4a3"),
        (0.58, "#dfe3e8"), (0.68, "#f1f4f7"), (1.00, "#ffffff")], None),

    # Arctic tundra: dark pools in the lows, boggy sedge, olive and rust
    # moss, tan lichen, frost-shattered grey rock and late snow patches.
    "tundra.bmp": ([
        (-1.00, "#1f2c35"), (-0.62, "#2d3d45"), (-0.50, "#4e5640"),
        (-0.30, "#6a6e47"), (-0.12, "#7c7a52"), (0.04, "#6f7550"), (0.16, "#8f8260"),
        (0.26, "#9a8f74"), (0.42, "#8a867e"), (0.60, "#a4a3a0"),
        (0.74, "#d6dade"), (1.00, "#f3f5f7")], None),

    # Volcanic field: a faint glow of cooling lava only in the deepest
    # hollows, black basalt flows, grey ash slopes, rusty oxidised cinder
    # cones, pale ash and pumice on the summits.
    "volcanic.bmp": ([
        (-1.00, "#441a10"), (-0.93, "#2a1714"), (-0.80, "#1b1918"),
        (-0.35, "#242221"), (-0.05, "#353230"), (0.18, "#4f4842"),
        (0.34, "#6a4c3b"), (0.48, "#7d5338"), (0.62, "#6c625a"),
        (0.80, "#8e8982"), (1.00, "#b7b1a8")], None),

    # Reef coast: deep ocean, blue shelf, turquoise lagoon, white sand at
    # about -0.05, jungle green, dark forested highlands, bare peaks.
    "tropical coast.bmp": ([
        (-1.00, "#06213d"), (-0.55, "#0b3d66"), (-0.28, "#14708f"),
        (-0.14, "#2fb0b4"), (-0.075, "#7fd8c9"), (-0.05, "#e9dfb8"),
        (-0.01, "#dccd9c"), (0.03, "#7d9b4a"), (0.12, "#3b7a2c"),
        (0.32, "#285d22"), (0.52, "#22461f"), (0.72, "#3a4631"),
        (1.00, "#5d5c4f")], None),

    # Canyon country: a green river floor, then banded sandstone walls
    # (red, orange, cream and mauve layers with thin strata) up to the pale
    # caprock of the mesas.
    "canyon.bmp": ([
        (-1.00, "#3f5238"), (-0.82, "#5e5636"), (-0.70, "#7a3f26"),
        (-0.48, "#a8522e"), (-0.30, "#c0703f"), (-0.12, "#b04e30"),
        (0.05, "#c98d5c"), (0.20, "#d9b283"), (0.34, "#a86645"),
        (0.48, "#8f5c4f"), (0.62, "#c07a4b"), (0.78, "#d7ae80"),
        (1.00, "#e4cca4")], (-0.78, 1.0, 4101, {"thickness": (0.006, 0.03),
                                                 "light": 0.05, "tint": 0.012})),

    # Ice field: a deep glacial lake, milky meltwater, grey moraine gravel,
    # blue crevassed ice, white firn, and dark rock of nunataks poking out
    # at the very top.
    "glacier.bmp": ([
        (-1.00, "#12324a"), (-0.66, "#2f6f86"), (-0.52, "#6a8a90"),
        (-0.44, "#77797a"), (-0.30, "#908f8c"), (-0.16, "#a9c4d3"),
        (0.02, "#c6dde8"), (0.22, "#e3eef3"), (0.45, "#f5f8fa"),
        (0.64, "#eef2f5"), (0.72, "#6d7176"), (1.00, "#4c4f54")], None),

    # Lowland woods: a lake, reedy shore, bright floodplain meadows,
    # deciduous forest, dark conifers higher up, bare rocky tops.
    "temperate forest.bmp": ([
        (-1.00, "#1a3142"), (-0.62, "#284858"), (-0.55, "#5f6b3f"),
        (-0.48, "#6b8a45"), (-0.28, "#527538"), (-0.02, "#3f6230"),
        (0.22, "#2c4f25"), (0.44, "#283f25"), (0.62, "#4b4c3a"),
        (0.76, "#6f6b60"), (1.00, "#9c9892")], None),

    # Grassland: green waterholes and river flats, golden dry grass over
    # the middle, olive acacia scrub, red laterite, grey granite kopjes.
    "savanna.bmp": ([
        (-1.00, "#3f5a30"), (-0.62, "#667239"), (-0.40, "#9a9452"),
        (-0.15, "#c0a764"), (0.10, "#caae69"), (0.26, "#a89555"),
        (0.40, "#7f7a44"), (0.54, "#9d6e45"), (0.70, "#8a5e43"),
        (0.84, "#8b8478"), (1.00, "#a29d93")], None),

    # Eroded clay hills: grey and buff mudstone, red and mauve bands with
    # many thin strata, a pale ash layer, a grassy cap on the highest tables.
    "badlands.bmp": ([
        (-1.00, "#5f5750"), (-0.70, "#7c6f66"), (-0.50, "#a98c70"),
        (-0.32, "#9e5e45"), (-0.16, "#c4ad92"), (0.00, "#8f7466"),
        (0.16, "#a86d4e"), (0.32, "#d2c2a8"), (0.48, "#9a7a68"),
        (0.64, "#b98a66"), (0.78, "#8c8468"), (0.90, "#6e7450"),
        (1.00, "#5c6a42")], (-0.85, 0.82, 7713, {"thickness": (0.005, 0.022),
                                                  "light": 0.035, "tint": 0.007})),

    # Mediterranean shore: deep blue sea, lighter coastal water, a pale
    # pebble beach near -0.1, dry grass, dark maquis, grey-green garrigue,
    # white limestone heights.
    "mediterranean.bmp": ([
        (-1.00, "#0a2550"), (-0.45, "#144b80"), (-0.20, "#2a7aa8"),
        (-0.125, "#5aa6bc"), (-0.10, "#d8d0b4"), (-0.07, "#b8ad80"),
        (-0.02, "#8c8d58"), (0.10, "#5a6a38"), (0.28, "#4c5a34"),
        (0.42, "#7f7c5c"), (0.56, "#aaa38e"), (0.74, "#cdc7b8"),
        (1.00, "#e7e3da")], None),

    # Upland moor: peat pools and black bog, rust sedge, brown heath,
    # purple-brown heather, bracken, grey granite tors.
    "moorland.bmp": ([
        (-1.00, "#1c1e1c"), (-0.70, "#2b2a22"), (-0.58, "#5a5236"),
        (-0.34, "#7a6c3e"), (-0.10, "#7d6447"), (0.08, "#74604f"),
        (0.26, "#775f59"), (0.42, "#8d7d56"), (0.58, "#7f7c6e"),
        (0.80, "#97958b"), (1.00, "#b3b2a9")], None),

    # Polar shore: dark cold sea, grey-green shallows, a rim of shore ice,
    # dark shingle, brown-green tundra, grey rock, snowfields above +0.5.
    "arctic coast.bmp": ([
        (-1.00, "#08182a"), (-0.45, "#15324a"), (-0.20, "#34606f"),
        (-0.12, "#6d8c92"), (-0.09, "#cfdde3"), (-0.06, "#b6c4c8"),
        (-0.035, "#5b5b58"), (0.02, "#6a6a52"), (0.16, "#6d6f4e"),
        (0.32, "#807d70"), (0.46, "#99999a"), (0.54, "#dfe5ea"),
        (0.66, "#f2f5f8"), (1.00, "#ffffff")], None),
}


def grey_row():
    """Exactly linear black (column 0) to white (column 2047)."""
    v = np.array([round(c * 255 / (WIDTH - 1)) for c in range(WIDTH)], np.uint8)
    return np.repeat(v[:, None], 3, axis=1)


def all_rows():
    rows = {"black and white.bmp": grey_row()}
    for name, (stops, layers) in GRADIENTS.items():
        rows[name] = build_row(stops, layers)
    return rows


def row_image(row):
    return Image.fromarray(np.ascontiguousarray(np.broadcast_to(row[None], (HEIGHT, WIDTH, 3))), "RGB")


def check_grey(path):
    img = Image.open(path)
    assert img.mode == "RGB" and img.size == (WIDTH, HEIGHT), (img.mode, img.size)
    a = np.asarray(img)
    for c in range(WIDTH):
        v = round(c * 255 / (WIDTH - 1))
        assert (a[:, c, :] == v).all(), f"column {c} is not {v}"
    assert a[0, 0, 0] == 0 and a[0, WIDTH - 1, 0] == 255


def make_gradients(res_dir):
    """Write every gradient and its thumbnail; returns the number written."""
    out = Path(res_dir) / "gradients"
    thumbs = out / "thumbs"
    thumbs.mkdir(parents=True, exist_ok=True)
    rows = all_rows()
    for name, row in rows.items():
        assert name == name.lower() and name.endswith(".bmp")
        img = row_image(row)
        img.save(out / name, "BMP")
        # area average over the row for the 48 columns, then widen to 12 rows
        thumb = img.resize((THUMB[0], 1), Image.BOX).resize(THUMB, Image.NEAREST)
        thumb.save(thumbs / name, "BMP")
        back = Image.open(out / name)
        assert back.mode == "RGB" and back.size == (WIDTH, HEIGHT)
        assert (np.asarray(back)[0] == row).all()
        assert Image.open(thumbs / name).size == THUMB
    check_grey(out / "black and white.bmp")
    return len(rows)


# ----------------------------------------------------------------------------
# preview (not part of the data): colour test height maps with each gradient
# ----------------------------------------------------------------------------

def _fbm(n, seed, octaves=7):
    """Gradient-noise fBm on an n x n grid, scaled like a Perlin map."""
    rs = np.random.RandomState(seed)
    total = np.zeros((n, n))
    amp, cells = 1.0, 4
    for _ in range(octaves):
        ang = rs.uniform(0, 2 * np.pi, (cells + 1, cells + 1))
        gx, gy = np.cos(ang), np.sin(ang)
        p = np.arange(n) * cells / n
        i = p.astype(int)
        f = p - i
        fy, fx = f[:, None], f[None, :]
        iy, ix = i[:, None], i[None, :]

        def dot(dy, dx):
            return gx[iy + dy, ix + dx] * (fx - dx) + gy[iy + dy, ix + dx] * (fy - dy)

        s = lambda t: t * t * t * (t * (t * 6 - 15) + 10)
        sx, sy = s(fx), s(fy)
        top = dot(0, 0) + (dot(0, 1) - dot(0, 0)) * sx
        bot = dot(1, 0) + (dot(1, 1) - dot(1, 0)) * sx
        total += amp * (top + (bot - top) * sy)
        amp *= 0.5
        cells *= 2
    return total / total.std() * 0.42


def colour_map(h, row, light=True):
    idx = np.clip(np.rint((h + 1.0) * 1024.0 - 1.0), 0, WIDTH - 1).astype(int)
    rgb = row[idx].astype(np.float64)
    if light:
        gy, gx = np.gradient(h * 25.0)
        nx, ny, nz = -gx, -gy, np.ones_like(h)
        norm = np.sqrt(nx * nx + ny * ny + nz * nz)
        lx, ly, lz = -0.5, -0.5, 0.707
        lam = np.clip((nx * lx + ny * ly + nz * lz) / norm, 0, 1)
        rgb *= (0.35 + 0.85 * lam)[..., None]
    return np.clip(rgb, 0, 255).astype(np.uint8)


def preview(dest, maps=None):
    dest = Path(dest)
    dest.mkdir(parents=True, exist_ok=True)
    if maps is None:
        maps = [_fbm(256, s) for s in (11, 12)]
    rows = all_rows()
    for name, row in rows.items():
        strip = np.repeat(row[None], 24, axis=0)[:, ::4]
        pics = [colour_map(m, row) for m in maps]
        tile = np.concatenate(pics, axis=1)
        bar = np.zeros((24, tile.shape[1], 3), np.uint8)
        bar[:, :512] = strip
        tile = np.concatenate([bar, tile], axis=0)
        Image.fromarray(tile).save(dest / (name[:-4].replace(" ", "_") + ".png"))
    print("previews in", dest)


if __name__ == "__main__":
    if len(sys.argv) >= 3 and sys.argv[1] == "--preview":
        extra = [np.fromfile(p, np.float32).reshape(256, 256).astype(np.float64)
                 for p in sys.argv[3:]]
        preview(sys.argv[2], extra or None)
    else:
        sys.exit("usage: gradients.py --preview DIR [height.raw ...]  "
                 "(make_data.py writes the data)")
