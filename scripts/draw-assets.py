#!/usr/bin/python3
"""Draws every image of the web application into web/.

The output is committed, so a build never needs this script or its drawing
library (python3-pil). Run it again after changing the artwork:

    scripts/draw-assets.py [OUTPUT_DIR]

Places and sizes follow the page layout: the console picture carries its
buttons where the page's image map puts its circles, the slider pictures fit
the slider travel the console script uses, and the window-frame pieces fit the
17 px title bars and 24 px footers.
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "web")

DARK = (0x1C, 0x3D, 0x7D)      # window background
MID = (0x67, 0x88, 0xC9)       # selection
LIGHT = (0xBB, 0xD2, 0xFF)     # playing entry, highlights
NIGHT = (0x0B, 0x18, 0x38)     # display glass
DEEP = (0x10, 0x26, 0x55)
EDGE = (0x08, 0x12, 0x2A)
WHITE = (255, 255, 255)
KEY = (255, 0, 255)            # transparent colour of GIFs with a see-through part

FONT_DIR = "/usr/share/fonts/truetype/dejavu"


def font(size, bold=True):
    name = "DejaVuSans-Bold.ttf" if bold else "DejaVuSans.ttf"
    try:
        return ImageFont.truetype(os.path.join(FONT_DIR, name), size)
    except OSError:
        return ImageFont.load_default()


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


def vgradient(img, box, top, bottom):
    d = ImageDraw.Draw(img)
    x0, y0, x1, y1 = box
    h = max(1, y1 - y0)
    for y in range(y0, y1 + 1):
        d.line([(x0, y), (x1, y)], fill=mix(top, bottom, (y - y0) / h))


def bevel(d, box, hi, lo):
    x0, y0, x1, y1 = box
    d.line([(x0, y1), (x0, y0), (x1, y0)], fill=hi)
    d.line([(x1, y0), (x1, y1), (x0, y1)], fill=lo)


def save_gif(img, name, transparent=False):
    path = os.path.join(OUT, name)
    rgb = img.convert("RGB")
    pal = rgb.quantize(colors=255 if transparent else 256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    if transparent:
        # Find the palette slot of the key colour and mark it transparent.
        palette = pal.getpalette()[: 3 * 256]
        slots = [i for i in range(len(palette) // 3) if tuple(palette[3 * i: 3 * i + 3]) == KEY]
        if slots:
            pal.save(path, transparency=slots[0], optimize=False)
            return
    pal.save(path, optimize=False)


def centred_text(d, box, text, fnt, fill):
    x0, y0, x1, y1 = box
    l, t, r, b = d.textbbox((0, 0), text, font=fnt)
    d.text((x0 + (x1 - x0 - (r - l)) / 2 - l, y0 + (y1 - y0 - (b - t)) / 2 - t), text, font=fnt, fill=fill)


def round_button(d, cx, cy, r, glyph=None):
    d.ellipse([cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1], fill=EDGE)
    d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=mix(MID, DARK, 0.35), outline=LIGHT)
    d.ellipse([cx - r + 2, cy - r + 2, cx + r - 3, cy + r - 4], fill=mix(MID, DARK, 0.15))
    if glyph:
        glyph(d, cx, cy, r)


def g_prev(d, cx, cy, r):
    d.rectangle([cx - 5, cy - 4, cx - 4, cy + 4], fill=WHITE)
    d.polygon([(cx + 4, cy - 4), (cx - 3, cy), (cx + 4, cy + 4)], fill=WHITE)


def g_next(d, cx, cy, r):
    d.rectangle([cx + 4, cy - 4, cx + 5, cy + 4], fill=WHITE)
    d.polygon([(cx - 4, cy - 4), (cx + 3, cy), (cx - 4, cy + 4)], fill=WHITE)


def g_play(d, cx, cy, r):
    d.polygon([(cx - 3, cy - 5), (cx + 5, cy), (cx - 3, cy + 5)], fill=WHITE)


def g_pause(d, cx, cy, r):
    d.rectangle([cx - 4, cy - 4, cx - 2, cy + 4], fill=WHITE)
    d.rectangle([cx + 2, cy - 4, cx + 4, cy + 4], fill=WHITE)


def g_stop(d, cx, cy, r):
    d.rectangle([cx - 4, cy - 4, cx + 4, cy + 4], fill=WHITE)


def g_text(text, size=7):
    def draw(d, cx, cy, r):
        centred_text(d, (cx - r, cy - r, cx + r, cy + r), text, font(size), WHITE)
    return draw


def g_mute(d, cx, cy, r):
    d.rectangle([cx - 4, cy - 2, cx - 2, cy + 2], fill=WHITE)
    d.polygon([(cx - 2, cy - 2), (cx + 2, cy - 5), (cx + 2, cy + 5), (cx - 2, cy + 2)], fill=WHITE)


def g_repeat(d, cx, cy, r):
    d.arc([cx - 5, cy - 4, cx + 5, cy + 4], 200, 520, fill=WHITE, width=2)
    d.polygon([(cx - 6, cy - 1), (cx - 2, cy - 1), (cx - 4, cy + 2)], fill=WHITE)


def g_shuffle(d, cx, cy, r):
    d.line([(cx - 5, cy - 3), (cx + 4, cy + 3)], fill=WHITE, width=2)
    d.line([(cx - 5, cy + 3), (cx + 4, cy - 3)], fill=WHITE, width=2)


def panel(w, h):
    img = Image.new("RGB", (w, h), DARK)
    vgradient(img, (0, 0, w - 1, h - 1), mix(MID, DARK, 0.55), mix(DARK, EDGE, 0.45))
    d = ImageDraw.Draw(img)
    bevel(d, (0, 0, w - 1, h - 1), LIGHT, EDGE)
    bevel(d, (1, 1, w - 2, h - 2), mix(MID, DARK, 0.3), DEEP)
    return img, d


def console_picture():
    """354 x 144: display, transport, lights, sliders' grooves and the toggles."""
    img, d = panel(354, 144)
    # Maker plate along the top edge.
    d.text((14, 8), "LYREBOX", font=font(11), fill=LIGHT)
    d.text((80, 11), "remote console", font=font(8, bold=False), fill=mix(LIGHT, DARK, 0.35))
    # The display glass behind artist, title and album (texts at y 34, 50, 66).
    d.rounded_rectangle([15, 27, 308, 83], radius=4, fill=NIGHT, outline=EDGE)
    d.rounded_rectangle([16, 28, 307, 82], radius=4, outline=mix(NIGHT, MID, 0.4))
    for y in (47, 63):
        d.line([(22, y), (296, y)], fill=mix(NIGHT, DARK, 0.5))
    # Repeat and shuffle: buttons with their light sockets to the right.
    for (cx, cy, glyph, ly) in ((323, 47, g_repeat, 42), (324, 71, g_shuffle, 65)):
        round_button(d, cx, cy, 9, glyph)
        d.rounded_rectangle([336, ly - 1, 346, ly + 10], radius=2, fill=EDGE)
        d.ellipse([337, ly + 1, 344, ly + 8], fill=mix(NIGHT, DARK, 0.6))
    # Seek groove (the slider picture sits on it at 8, 88).
    d.rounded_rectangle([8, 93, 249, 101], radius=3, fill=EDGE)
    # Play-list and media-library toggles.
    round_button(d, 304, 99, 11, g_text("PL"))
    round_button(d, 329, 99, 11, g_text("ML"))
    # Transport row.
    for (cx, cy, glyph) in ((19, 124, g_prev), (48, 125, g_play), (78, 125, g_pause),
                            (108, 125, g_stop), (138, 124, g_next)):
        round_button(d, cx, cy, 11, glyph)
    round_button(d, 171, 129, 7, g_mute)
    d.text((160, 111), "MUTE", font=font(6), fill=mix(LIGHT, DARK, 0.2))
    # Volume well behind the volume slider at 201, 114.
    d.rounded_rectangle([199, 112, 292, 142], radius=3, fill=mix(DARK, EDGE, 0.6))
    return img


def seek_slider():
    """241 x 19: 221 px of travel for a 20 px handle that sits 5 px below the top."""
    img = Image.new("RGB", (241, 19), DARK)
    vgradient(img, (0, 0, 240, 18), mix(DARK, EDGE, 0.3), mix(DARK, EDGE, 0.7))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([2, 7, 238, 11], radius=2, fill=EDGE, outline=mix(MID, DARK, 0.5))
    for x in range(10, 240, 22):
        d.line([(x, 15), (x, 17)], fill=mix(MID, DARK, 0.4))
    return img


def seek_handle():
    img = Image.new("RGB", (20, 9), MID)
    vgradient(img, (0, 0, 19, 8), LIGHT, MID)
    d = ImageDraw.Draw(img)
    bevel(d, (0, 0, 19, 8), WHITE, DARK)
    d.line([(9, 2), (9, 6)], fill=DARK)
    d.line([(11, 2), (11, 6)], fill=DARK)
    return img


def vol_slider():
    """89 x 28: a rising wedge above the track of a 14 px handle, 75 px of travel."""
    img = Image.new("RGB", (89, 28), mix(DARK, EDGE, 0.6))
    d = ImageDraw.Draw(img)
    for x in range(3, 86, 3):
        t = (x - 3) / 83
        top = 13 - round(10 * t)
        d.line([(x, top), (x, 13)], fill=mix((0x3C, 0xB0, 0x50), (0xE0, 0x50, 0x30), t))
    d.rounded_rectangle([2, 19, 86, 23], radius=2, fill=EDGE, outline=mix(MID, DARK, 0.5))
    return img


def vol_handle():
    img = Image.new("RGB", (14, 11), MID)
    vgradient(img, (0, 0, 13, 10), LIGHT, MID)
    d = ImageDraw.Draw(img)
    bevel(d, (0, 0, 13, 10), WHITE, DARK)
    d.line([(6, 2), (6, 8)], fill=DARK)
    return img


def light_on():
    img = Image.new("RGB", (8, 10), EDGE)
    d = ImageDraw.Draw(img)
    d.ellipse([0, 1, 7, 8], fill=(0x40, 0xE0, 0x70))
    d.ellipse([2, 2, 4, 4], fill=(0xC0, 0xFF, 0xD0))
    return img


def title_piece(w, text=None):
    img = Image.new("RGB", (w, 17), DARK)
    vgradient(img, (0, 0, w - 1, 16), mix(MID, LIGHT, 0.3), DARK)
    d = ImageDraw.Draw(img)
    d.line([(0, 0), (w - 1, 0)], fill=LIGHT)
    d.line([(0, 16), (w - 1, 16)], fill=EDGE)
    if text:
        centred_text(d, (0, 0, w - 1, 16), text, font(9), WHITE)
    return img


def title_end(left):
    img = title_piece(6)
    d = ImageDraw.Draw(img)
    x = 0 if left else 5
    d.line([(x, 0), (x, 16)], fill=LIGHT if left else EDGE)
    return img


def title_caption(text, w):
    img = title_piece(w)
    d = ImageDraw.Draw(img)
    # A dark plate behind the caption, so the stretched background reads as a bar.
    d.rectangle([0, 3, w - 1, 13], fill=DARK)
    centred_text(d, (0, 2, w - 1, 14), text, font(8), LIGHT)
    return img


def close_box():
    img = Image.new("RGB", (15, 15), DARK)
    d = ImageDraw.Draw(img)
    d.rectangle([1, 1, 13, 13], fill=mix(MID, DARK, 0.3), outline=LIGHT)
    d.line([(4, 4), (10, 10)], fill=WHITE, width=2)
    d.line([(4, 10), (10, 4)], fill=WHITE, width=2)
    return img


def footer_piece(w):
    img = Image.new("RGB", (w, 24), DARK)
    vgradient(img, (0, 0, w - 1, 23), mix(DARK, EDGE, 0.2), mix(DARK, EDGE, 0.6))
    d = ImageDraw.Draw(img)
    d.line([(0, 0), (w - 1, 0)], fill=MID)
    d.line([(0, 23), (w - 1, 23)], fill=EDGE)
    return img


def footer_left():
    img = footer_piece(8)
    ImageDraw.Draw(img).line([(0, 0), (0, 23)], fill=MID)
    return img


def resize_grip():
    img = footer_piece(20)
    d = ImageDraw.Draw(img)
    d.line([(19, 0), (19, 23)], fill=EDGE)
    for k in range(3):
        o = 4 * k
        d.line([(17 - o, 21), (17, 21 - o)], fill=LIGHT)
        d.line([(18 - o, 21), (17, 22 - o)], fill=EDGE)
    return img


def text_button(text, w, h=16):
    img = Image.new("RGB", (w, h), DARK)
    vgradient(img, (0, 0, w - 1, h - 1), mix(MID, LIGHT, 0.2), mix(MID, DARK, 0.4))
    d = ImageDraw.Draw(img)
    bevel(d, (0, 0, w - 1, h - 1), LIGHT, EDGE)
    centred_text(d, (0, 0, w - 1, h - 1), text, font(8), WHITE)
    return img


def icon_base(size=16):
    return Image.new("RGB", (size, size), KEY)


def note_icon():
    img = icon_base()
    d = ImageDraw.Draw(img)
    d.rectangle([2, 1, 13, 14], fill=LIGHT, outline=DARK)
    d.ellipse([4, 9, 8, 12], fill=DARK)
    d.line([(8, 3), (8, 10)], fill=DARK, width=1)
    d.line([(8, 3), (11, 5)], fill=DARK, width=2)
    return img


def list_icon():
    img = icon_base()
    d = ImageDraw.Draw(img)
    d.rectangle([2, 1, 13, 14], fill=WHITE, outline=DARK)
    for y in (4, 7, 10):
        d.line([(4, y), (11, y)], fill=MID)
    return img


def folder_icon(up=False):
    img = icon_base()
    d = ImageDraw.Draw(img)
    d.polygon([(1, 3), (6, 3), (7, 5), (14, 5), (14, 13), (1, 13)], fill=(0xE8, 0xC0, 0x50), outline=(0x80, 0x60, 0x10))
    d.line([(2, 6), (13, 6)], fill=(0xF8, 0xE0, 0x90))
    if up:
        d.polygon([(8, 6), (12, 10), (9, 10), (9, 12), (7, 12), (7, 10), (4, 10)], fill=DARK)
    return img


def play_icon():
    img = icon_base(12)
    d = ImageDraw.Draw(img)
    d.ellipse([0, 0, 11, 11], fill=MID, outline=LIGHT)
    d.polygon([(4, 3), (9, 6), (4, 9)], fill=WHITE)
    return img


def plus_icon():
    img = icon_base(12)
    d = ImageDraw.Draw(img)
    d.ellipse([0, 0, 11, 11], fill=MID, outline=LIGHT)
    d.rectangle([5, 2, 6, 9], fill=WHITE)
    d.rectangle([2, 5, 9, 6], fill=WHITE)
    return img


def sort_icon(up):
    img = icon_base(9)
    d = ImageDraw.Draw(img)
    if up:
        d.polygon([(4, 1), (8, 7), (0, 7)], fill=LIGHT)
    else:
        d.polygon([(0, 1), (8, 1), (4, 7)], fill=LIGHT)
    return img


def trash_icon():
    img = icon_base()
    d = ImageDraw.Draw(img)
    d.rectangle([3, 4, 12, 14], fill=LIGHT, outline=DARK)
    d.rectangle([2, 2, 13, 3], fill=MID)
    d.rectangle([6, 1, 9, 2], fill=MID)
    for x in (5, 8, 10):
        d.line([(x, 6), (x, 12)], fill=DARK)
    return img


def about_badge():
    img = Image.new("RGB", (92, 26), DARK)
    vgradient(img, (0, 0, 91, 25), mix(MID, DARK, 0.2), DARK)
    d = ImageDraw.Draw(img)
    bevel(d, (0, 0, 91, 25), LIGHT, EDGE)
    centred_text(d, (0, 0, 91, 25), "About Lyrebox", font(9), WHITE)
    return img


def loading_frames():
    """48 x 48: eight dots going round, drawn large as the page shows it."""
    import math
    frames = []
    for k in range(8):
        img = Image.new("RGB", (48, 48), DARK)
        d = ImageDraw.Draw(img)
        for i in range(8):
            a = 2 * math.pi * i / 8
            x, y = 24 + 16 * math.cos(a), 24 + 16 * math.sin(a)
            t = ((k - i) % 8) / 7
            d.ellipse([x - 4, y - 4, x + 4, y + 4], fill=mix(WHITE, DARK, t * 0.85))
        frames.append(img.quantize(colors=32, dither=Image.Dither.NONE))
    return frames


def favicon():
    big = Image.new("RGBA", (32, 32), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    d.rounded_rectangle([0, 0, 31, 31], radius=6, fill=DARK + (255,), outline=LIGHT + (255,))
    d.ellipse([7, 18, 15, 25], fill=WHITE + (255,))
    d.rectangle([13, 6, 15, 22], fill=WHITE + (255,))
    d.polygon([(15, 6), (25, 9), (25, 13), (15, 10)], fill=LIGHT + (255,))
    return big


def remote_icon(size):
    """The touch remote's home-screen icon: a note on a full-bleed gradient,
    kept inside the middle 80 % so a launcher's round or squircle mask never
    cuts it (the manifest marks it "any maskable")."""
    big = 512
    img = Image.new("RGB", (big, big), DARK)
    vgradient(img, (0, 0, big - 1, big - 1), MID, DEEP)
    d = ImageDraw.Draw(img)
    # A ring like a volume dial around the note.
    d.ellipse([96, 96, 416, 416], outline=LIGHT, width=18)
    d.arc([96, 96, 416, 416], start=135, end=300, fill=WHITE, width=18)
    # The note: two heads joined by a beam.
    d.ellipse([170, 286, 236, 338], fill=WHITE)
    d.ellipse([276, 262, 342, 314], fill=WHITE)
    d.rectangle([220, 176, 236, 312], fill=WHITE)
    d.rectangle([326, 152, 342, 288], fill=WHITE)
    d.polygon([(220, 176), (342, 152), (342, 190), (220, 214)], fill=WHITE)
    if size != big:
        img = img.resize((size, size), Image.LANCZOS)
    return img


def main():
    os.makedirs(OUT, exist_ok=True)
    con = console_picture()
    save_gif(con, "console.gif")
    # The console picture that neither page uses, kept as a JPEG variant.
    con.save(os.path.join(OUT, "interface.jpg"), quality=90)
    save_gif(seek_slider(), "seek_slider.gif")
    save_gif(seek_handle(), "seek_handle.gif")
    vol_slider().save(os.path.join(OUT, "vol_slider.jpg"), quality=92)
    save_gif(vol_handle(), "vol_handle.gif")
    save_gif(light_on(), "waLightOn.gif")
    save_gif(title_piece(8), "waBoxBg.gif")
    save_gif(title_end(True), "waBoxTitleLeft.gif")
    save_gif(title_end(False), "waBoxTitleRight.gif")
    save_gif(title_caption("CONSOLE", 80), "waConsoleTitle.gif")
    save_gif(title_caption("PLAYLIST", 80), "waPlaylistTitle.gif")
    save_gif(title_caption("MEDIA LIBRARY", 110), "titleML.gif")
    save_gif(close_box(), "closeBox.gif")
    save_gif(footer_piece(8), "waFooterBg.gif")
    save_gif(footer_left(), "waFooterLeft.gif")
    save_gif(resize_grip(), "waResize.gif")
    save_gif(text_button("CLEAR", 46), "plclear.gif")
    save_gif(text_button("CONNECT", 56), "mlconnect.gif")
    save_gif(text_button("SEARCH", 52), "search.gif")
    save_gif(note_icon(), "mp3.gif", transparent=True)
    save_gif(list_icon(), "m3u.gif", transparent=True)
    save_gif(folder_icon(), "folder.gif", transparent=True)
    save_gif(folder_icon(up=True), "folder_up.gif", transparent=True)
    save_gif(play_icon(), "play.gif", transparent=True)
    save_gif(plus_icon(), "plus.gif", transparent=True)
    save_gif(sort_icon(True), "asc.gif", transparent=True)
    save_gif(sort_icon(False), "desc.gif", transparent=True)
    save_gif(trash_icon(), "trash.gif", transparent=True)
    save_gif(about_badge(), "donate.gif")
    frames = loading_frames()
    frames[0].save(os.path.join(OUT, "loading.gif"), save_all=True, append_images=frames[1:],
                   duration=90, loop=0, optimize=False)
    icon = favicon()
    icon.save(os.path.join(OUT, "favicon.ico"), sizes=[(16, 16), (32, 32)])
    for size in (192, 512):
        remote_icon(size).save(os.path.join(OUT, "remote-%d.png" % size), optimize=True)


if __name__ == "__main__":
    main()
