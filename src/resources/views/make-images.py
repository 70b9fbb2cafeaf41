#!/usr/bin/python3
"""Draws the views' pictures with ImageMagick; run it again after changing a drawing.

    src/resources/views/make-images.py

folder.png   32x32  the picture of every entry in the remote list
backup.png   24x24  BACKUP: a gold gear before a grey sheet
restore.png  24x24  RESTORE: a magnifying glass over an open book
wait.gif     260x40 the wait dialog's loop: a sheet flying from one folder to the other,
                    16 frames at 10 frames a second, on a transparent background
"""

import math
import os
import subprocess

HERE = os.path.dirname(os.path.realpath(__file__))


def convert(size, draws, out, extra=()):
    # One drawing program per picture: a style set in it holds for what follows.
    args = ["convert", "-size", size, "xc:none"] + list(extra) + ["-draw", "\n".join(draws)]
    subprocess.run(args + [os.path.join(HERE, out)], check=True)


def poly(points):
    return "polygon " + " ".join("%.1f,%.1f" % p for p in points)


def style(fill, stroke, width=1):
    return "fill %s stroke %s stroke-width %s" % (fill, stroke, width)


def folder(x, y, w, h):
    """Back (with its tab) and front of a folder whose box is x, y, w, h."""
    tab = w * 0.38
    back = [(x, y), (x + tab, y), (x + tab + 3, y + 3), (x + w, y + 3), (x + w, y + h), (x, y + h)]
    front = [(x, y + h * 0.30), (x + w, y + h * 0.30), (x + w, y + h), (x, y + h)]
    return ([style("#D89A22", "#8A5E0E"), poly(back)],
            [style("#F7CB48", "#A8761A"), poly(front),
             style("none", "#FCE7A0"), "line %.1f,%.1f %.1f,%.1f" % (x + 2, y + h * 0.30 + 2,
                                                                    x + w - 2, y + h * 0.30 + 2)])


def gear(cx, cy, outer, inner, teeth):
    points = []
    for i in range(teeth * 4):
        angle = 2 * math.pi * (i - 0.5) / (teeth * 4)
        r = outer if i % 4 in (0, 1) else inner
        points.append((cx + r * math.cos(angle), cy + r * math.sin(angle)))
    return points


def sheet(cx, cy, angle):
    """A sheet of paper with a folded corner and three lines, centred on cx, cy."""
    return ["push graphic-context", "translate %.1f,%.1f" % (cx, cy), "rotate %.1f" % angle,
            style("#FFFFFF", "#6E6E6E"), poly([(-7, -9), (3, -9), (7, -5), (7, 9), (-7, 9)]),
            style("#D4D4D4", "#6E6E6E"), poly([(3, -9), (3, -5), (7, -5)]),
            style("none", "#9AA7B8"), "line -4,-3 4,-3", "line -4,1 4,1", "line -4,5 2,5",
            "pop graphic-context"]


def main():
    back, front = folder(1.5, 5.5, 29, 22)
    convert("32x32", back + front, "folder.png")

    convert("24x24", [
        style("#F4F4F4", "#777777"), poly([(9.5, 1.5), (18.5, 1.5), (22.5, 5.5), (22.5, 22.5), (9.5, 22.5)]),
        style("#D0D0D0", "#777777"), poly([(18.5, 1.5), (18.5, 5.5), (22.5, 5.5)]),
        style("none", "#A0A0A0"), "line 13,9 20,9", "line 15,12 20,12",
        style("#E8B020", "#8A6208"), poly(gear(8, 15.5, 7.2, 5.0, 8)),
        style("#FFF1B8", "#8A6208"), "circle 8,15.5 10,15.5",
    ], "backup.png")

    convert("24x24", [
        style("#FFFFFF", "#2F5597"), poly([(1.5, 12.5), (11.5, 14.5), (11.5, 22.5), (1.5, 20.5)]),
        style("#FFFFFF", "#2F5597"), poly([(12.5, 14.5), (22.5, 12.5), (22.5, 20.5), (12.5, 22.5)]),
        style("none", "#9DB3D9"), "line 3,15 10,16.5", "line 3,18 10,19.5",
        "line 14,16.5 21,15", "line 14,19.5 21,18",
        style("none", "#6B4A2A", 3), "line 15.5,9.5 20,13",
        style("#CFE6FF", "#404040", 2), "circle 11,6 11,10.5",
        style("none", "#FFFFFF"), "line 9,4 10.5,3",
    ], "restore.png")

    # The sheet leaves the left folder's front and slips behind the right one's, on an arc.
    left_back, left_front = folder(6.5, 9.5, 44, 27)
    right_back, right_front = folder(209.5, 9.5, 44, 27)
    frames = []
    count = 16
    for i in range(count):
        t = i / (count - 1)
        x = 28 + (232 - 28) * t
        y = 24 - 22 * math.sin(math.pi * t)
        draws = left_back + right_back + sheet(x, y, 30 * math.sin(2 * math.pi * t)) + left_front + right_front
        name = "frame-%02d.png" % i
        convert("260x40", draws, name, ["+antialias"])
        frames.append(os.path.join(HERE, name))
    subprocess.run(["convert", "-delay", "10", "-dispose", "Background", "-loop", "0"] + frames +
                   ["-layers", "Optimize", os.path.join(HERE, "wait.gif")], check=True)
    for frame in frames:
        os.remove(frame)


if __name__ == "__main__":
    main()
