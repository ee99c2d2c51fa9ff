#!/usr/bin/env python3
"""Writes data/resources/skydome.obj: the sphere the host scene's sky texture is laid on.

The sky texture is an equirectangular picture: its top row is the zenith, its bottom row the
nadir, column j the azimuth j * 360 / width. The dome's vertices follow the preview's sky dome
(azimuth phi measured from +z towards +x: x = cos e sin phi, y = sin e, z = cos e cos phi) and
carry u = phi / 360, v = elevation mapped to 0 (nadir) .. 1 (zenith), so the texture lands where
the preview shows the same sky. The faces turn towards the inside, where the viewer is.

Radius 50 units: scene creation scales the node by terrain size * 10 %, which puts the sky five
terrain sizes away, around the terrain and its cameras. Deterministic: a second run writes the
same bytes.
"""
import math
import os

RINGS = 32      # from zenith to nadir
SEGMENTS = 64   # around
RADIUS = 50.0

def main():
    out = os.path.join(os.path.dirname(__file__), "..", "..", "data", "resources", "skydome.obj")
    lines = ["# sky dome: a sphere seen from inside, equirectangular texture coordinates",
             "g skyDome", "usemtl skyDome"]
    verts, uvs = [], []
    for i in range(RINGS + 1):
        e = math.radians(90.0 - 180.0 * i / RINGS)
        for j in range(SEGMENTS + 1):   # the seam column is doubled for its u = 1
            phi = math.radians(360.0 * j / SEGMENTS)
            x = math.cos(e) * math.sin(phi) * RADIUS
            y = math.sin(e) * RADIUS
            z = math.cos(e) * math.cos(phi) * RADIUS
            verts.append("v %.6g %.6g %.6g" % (x + 0.0, y + 0.0, z + 0.0))
            uvs.append("vt %.6g %.6g" % (j / SEGMENTS, 1.0 - i / RINGS))
    faces = []
    row = SEGMENTS + 1
    for i in range(RINGS):
        for j in range(SEGMENTS):
            a = i * row + j + 1          # (i, j)
            b = a + 1                    # (i, j + 1)
            c = a + row                  # (i + 1, j)
            d = c + 1                    # (i + 1, j + 1)
            # Seen from inside the sphere these run counter-clockwise.
            if i == 0:
                faces.append("f %d/%d %d/%d %d/%d" % (a, a, d, d, c, c))
            elif i == RINGS - 1:
                faces.append("f %d/%d %d/%d %d/%d" % (a, a, b, b, c, c))
            else:
                faces.append("f %d/%d %d/%d %d/%d %d/%d" % (a, a, b, b, d, d, c, c))
    with open(out, "w", newline="\n") as f:
        f.write("\n".join(lines + verts + uvs + faces) + "\n")

if __name__ == "__main__":
    main()
