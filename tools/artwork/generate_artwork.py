#!/usr/bin/python3
"""Generates the front panel's eighteen bitmaps at each scale and the two lists that name them.

    /usr/bin/python3 tools/artwork/generate_artwork.py [--out DIR] [--scale 100|150|200]
                                                       [--check] [--contact-sheet PNG]

Writes resources/<id>.bmp for the eighteen bitmap identifiers (the design size, 100 %),
resources/150/<id>.bmp and resources/200/<id>.bmp (the same design drawn for the front
panel at 150 % and 200 %), resources/korvalex.rc (the Windows resource script) and
resources/BitmapList.inc (the list the Linux build embeds). --out DIR writes them
elsewhere; --scale draws one scale only (the lists are written all the same); --check
generates into a temporary folder and compares with the committed files (exit 1, naming
the files that differ); --contact-sheet PNG also writes a review sheet of the 100 %
bitmaps: both pages with every control composed in place at the values of program 0, and
every film strip at a few values.
Korvalex Live's application icon goes to resources/icons/korvalex-live-SIZE.png (48, 128
and 256 pixels), drawn at the design scale with the 100 % set; --check compares it too.

Needs Debian's /usr/bin/python3 with python3-numpy and python3-pil, and the Liberation
fonts (fonts-liberation). A run takes about ten seconds at 100 %, twenty at 150 % and
forty at 200 %. It is deterministic: every texture and the dither come from fixed seeds
and fixed matrices, so two runs on the same packages give the same bytes.

Scales
------
Every length of the design is in the panel's logical pixels (100 %). At a scale s the
design is drawn again with s times the pixels, never enlarged from the 100 % pictures:
shapes from their signed distances, text from FreeType at the scaled size (rounded to a
whole pixel), textures from their seeds at the finer grain. The toolkit places logical
coordinate x at pixel floor(x * s) (gui/Scale.h), so every edge that meets a control (the
page's windows and plates, the pictures cut from a page) is drawn at that pixel; a
film-strip image is ceil(size * s) pixels, and a control drawn one pixel narrower leaves
out only its flat outer ring.

How the panel is designed
-------------------------
Everything is drawn in floating point sRGB (0..255) with analytic anti-aliasing (signed
distances for discs, rounded boxes and strokes) and text from FreeType, then reduced to
5-6-5 bits with an 8 x 8 ordered dither (Bayer), so gradients show no banding. Light comes
from the upper left everywhere: highlights on upper-left edges and faces, shadows cast
down and to the right.

Material. The cabinet is black tolex (a pebbled grain from blurred fixed-seed noise,
embossed by the light) with a silver piping around each opening. The amp page is a combo
front: an oxblood basket-weave grille cloth in the upper opening with the chrome-and-brass
"Korvalex" script and the maker's name on it, and below it the control panel, a flat
black anodised plate in a bright bevelled trim. The effects page is one large plate of the
same kind, divided into sections by engraved rules (a dark line over a light one).

The panel face under every control is one flat colour that 5-6-5 holds exactly
(PANEL_FACE), and every film-strip image is drawn on that colour out to its edges, so a
control copied over the page shows no seam at any value and one strip serves every place
it is used (30 small knobs, 7 large ones). Windows that frame a picture (the readouts,
the menu plate, the lamps, the space width display, the meter) are framed on the page
just outside the control's rectangle; inside, the image's edge has the window's flat
colour. The input indicator, used once, is cut from the page itself rendered with each
of its two lamps lit.

Typography. Liberation Sans Bold in capitals, letter-spaced, in cream (CREAM) for names,
a dimmer cream (CREAM_DIM) for the words that name switch positions; Liberation Serif
Bold Italic for the script logo.

Knobs. A knob image is built in layers on the flat panel: the scale (eleven cream ticks
from 225 degrees to -45 degrees, the ends and the middle longer), the knob's soft shadow
(a blurred disc offset down-right), the spun-aluminium skirt (a conical sheen fixed to
the light, fine concentric rings, a dark rim), the skirt's black index line, then the
black cap with a knurled edge and a domed highlight, and its cream pointer. Only the
index line, the pointer and the knurl turn with the value; the light stays put. Image k
of n points at 225 - 270 k / (n - 1) degrees (counter-clockwise from 3 o'clock), so the
pointer travels 270 degrees clockwise from lower left to lower right.

Switches and lamps. Toggles are chrome bat-handle levers in a hexagon nut on a washer
(lever up for value 1, except the input switch, whose upper position is value 0 so that
a click on its upper half selects the position shown there); their position words are
printed beside them (amp page, left) or above and below (effects page). Section switches
are chrome footswitches, a hexagon nut round a domed plunger, with a red LED jewel above
them (lit, the plunger sunk, when on); lamps are glass jewels in chrome bezels; the gate
lamp is three LEDs (red shut, amber half open, green open); the compressor meter and the
space width display are amber LED rows. Every film-strip image fades into the page's
flat colour over its two outer pixel rings (settle_edges), so shadows never reach the
seam.

Change the look in one place: the palette, fonts and key dimensions are the named
constants below; the control positions are those of the editor's layout tables.
"""

import argparse
import filecmp
import math
import os
import struct
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw, ImageFont

REPO_ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..', '..'))
DEFAULT_OUT = os.path.join(REPO_ROOT, 'resources')

# --------------------------------------------------------------------------------------
# Palette (8-bit sRGB). Flat colours that sit under controls are snapped to 5-6-5.


def snap565(color):
    """The colour 5-6-5 holds exactly, nearest to the one given."""
    levels = (31, 63, 31)
    return tuple(round(c * n / 255.0) * 255.0 / n for c, n in zip(color, levels))


PANEL_FACE = snap565((33, 32, 33))        # black anodised control plate
PANEL_RULE_DARK = (12, 12, 12)           # engraved rule, lower edge in shadow
PANEL_RULE_LIGHT = (62, 61, 60)          # engraved rule, lit lip
TRIM_LIGHT = (226, 226, 222)             # bright bevelled trim around the plates
TRIM_DARK = (92, 92, 90)
TOLEX = (25, 24, 23)                     # cabinet covering
PIPING = (200, 198, 188)                 # silver piping round the openings
GRILLE_THREAD = (150, 52, 44)            # oxblood grille cloth
GRILLE_THREAD_DARK = (46, 15, 13)
CREAM = (238, 228, 200)                  # lettering
CREAM_DIM = (172, 165, 146)              # position words
SCALE_MARK = (214, 205, 180)             # knob scales
READOUT_WINDOW = snap565((232, 225, 203))  # ivory windows under the amp knobs' readouts
MENU_PLATE = (236, 230, 212)             # ivory plate of the amplifier menu
WINDOW_BLACK = snap565((12, 12, 12))     # inside of lamp and LED windows
CHROME_LIGHT = (246, 246, 242)
CHROME_MID = (160, 160, 158)
CHROME_DARK = (58, 58, 58)
ALUMINIUM = (196, 196, 192)              # knob skirts
KNOB_CAP = (20, 20, 21)                  # black knob caps
POINTER = (242, 236, 218)
LED_RED_ON = (255, 70, 44)
LED_RED_OFF = (74, 14, 12)
LED_AMBER_ON = (255, 176, 48)
LED_AMBER_OFF = (58, 34, 10)
LED_GREEN_ON = (96, 255, 96)
LED_GREEN_OFF = (12, 52, 14)
LOGO_TOP = (255, 248, 222)               # brass-and-chrome script, top to bottom
LOGO_MID = (206, 170, 96)
LOGO_LOW = (246, 226, 170)

FONT_DIR = '/usr/share/fonts/truetype/liberation'
FONT_LABEL = os.path.join(FONT_DIR, 'LiberationSans-Bold.ttf')
FONT_NARROW = os.path.join(FONT_DIR, 'LiberationSansNarrow-Bold.ttf')
FONT_TEXT = os.path.join(FONT_DIR, 'LiberationSans-Regular.ttf')
FONT_LOGO = os.path.join(FONT_DIR, 'LiberationSerif-BoldItalic.ttf')

LABEL_SIZE = 9          # control names on the amp page
KNOB_LABEL_SIZE = 8     # control names on the effects page
WORD_SIZE = 8           # switch position words
SMALL_WORD_SIZE = 7     # position words squeezed between controls
TITLE_SIZE = 10         # section titles on the effects page
LABEL_TRACKING = 1.0    # extra pixels between capitals

# --------------------------------------------------------------------------------------
# Geometry of both pages (window 899 x 421) and of the film strips.

PAGE_W, PAGE_H = 899, 421
CABINET_BORDER = 22                        # tolex round the openings
AMP_GRILLE = (CABINET_BORDER, 26, PAGE_W - CABINET_BORDER, 226)
AMP_PANEL = (CABINET_BORDER, 236, PAGE_W - CABINET_BORDER, 378)
FX_PANEL = (CABINET_BORDER, 26, PAGE_W - CABINET_BORDER, 378)
TRIM_WIDTH = 3
LOGO_BOX = (286, 110, 613, 182)            # the splash picture's hot spot

LARGE_KNOB = dict(size=67, scale_in=27.0, scale_out=30.6, major_in=25.6, tick_width=1.4,
                  skirt=23.5, cap=15.5, knurl=2.2, ridges=28, index_in=16.8,
                  pointer_in=4.5, pointer_out=13.2, pointer_width=2.3, shadow=(1.8, 2.6, 2.2))
SMALL_KNOB = dict(size=39, scale_in=15.6, scale_out=17.8, major_in=14.6, tick_width=1.0,
                  skirt=12.6, cap=8.6, knurl=1.4, ridges=20, index_in=9.2,
                  pointer_in=2.6, pointer_out=7.4, pointer_width=1.6, shadow=(1.1, 1.6, 1.3))
LARGE_KNOB_IMAGES = 101
SMALL_KNOB_IMAGES = 53
KNOB_START_DEG = 225.0
KNOB_RANGE_DEG = -270.0

METER_LEDS = 10
SPACE_SEGMENTS = 21

# Bitmap identifiers with width, height and image count.
BITMAPS = {
    10005: (899, 421, 1), 10100: (4, 44, 1), 10101: (4, 44, 1), 10128: (899, 421, 1),
    10129: (899, 421, 1), 10130: (26, 78, 2), 10131: (39, 2067, 53), 10132: (67, 6767, 101),
    10133: (32, 62, 2), 10134: (17, 366, 1), 10135: (130, 70, 7), 10136: (24, 40, 2),
    10137: (10, 90, 3), 10138: (111, 16, 1), 10139: (32, 148, 2), 10140: (152, 190, 2),
    10141: (28, 28, 2), 10142: (10, 50, 2),
}

# Controls of the two pages: (bitmap, left, top, how the image is chosen, program 0 value).
# 'knob': floor(value * (n - 1)); 'onoff': 0 at value 0, else 1; 'movie' and 'switch':
# trunc((n - 1) * value + 0.5); 'meter': the LED column; 'menu': the plate.
AMP_CONTROLS = {
    'amplifier': (10138, 85, 322, 'menu', 1 / 19),
    'input_indicator': (10140, 747, 259, 'movie', 1.0),
    'input': (10139, 754, 262, 'switch', 1.0),
    'power': (10130, 87, 278, 'onoff', 1.0),
    'page': (10130, 128, 278, 'onoff', 0.0),
    'bank': (10130, 169, 278, 'onoff', 0.0),
    'volume': (10132, 214, 264, 'knob', 0.5),
    'presence': (10132, 288, 264, 'knob', 0.7),
    'treble': (10132, 361, 264, 'knob', 0.89),
    'middle': (10132, 435, 264, 'knob', 0.38),
    'bass': (10132, 509, 264, 'knob', 0.7),
    'reverb': (10132, 582, 264, 'knob', 0.0),
    'drive': (10132, 656, 264, 'knob', 0.0),
}
AMP_KNOB_NAMES = ['volume', 'presence', 'treble', 'middle', 'bass', 'reverb', 'drive']
READOUT_TOP, READOUT_BOTTOM = 332, 341
READOUT_LEFTS = [234, 308, 381, 456, 530, 603, 677]
READOUT_WIDTH = 28

FX_CONTROLS = {
    'page': (10130, 767, 88, 'onoff', 1.0),
    'space_on': (10141, 633, 91, 'onoff', 0.0),
    'comp_on': (10133, 98, 238, 'onoff', 0.0),
    'gate_on': (10133, 457, 238, 'onoff', 0.0),
    'tremolo_on': (10133, 98, 314, 'onoff', 0.0),
    'chorus_on': (10133, 288, 314, 'onoff', 0.0),
    'delay_on': (10133, 539, 314, 'onoff', 0.0),
    'eq_on': (10133, 98, 162, 'onoff', 0.0),
    'comp_prepost': (10136, 135, 237, 'onoff', 0.0),
    'gate_prepost': (10136, 496, 237, 'onoff', 0.0),
    'chorus_phaser': (10136, 323, 312, 'onoff', 0.0),
    'center_pan': (10136, 132, 312, 'onoff', 0.0),
    'tremolo_speed': (10131, 163, 311, 'knob', 0.2),
    'tremolo_depth': (10131, 219, 311, 'knob', 0.5),
    'chorus_speed': (10131, 361, 310, 'knob', 0.1),
    'chorus_depth': (10131, 416, 310, 'knob', 0.5),
    'chorus_mix': (10131, 471, 310, 'knob', 0.2),
    'delay_time': (10131, 582, 310, 'knob', 0.2),
    'delay_sustain': (10131, 636, 310, 'knob', 0.4),
    'delay_width': (10131, 691, 310, 'knob', 1.0),
    'delay_mix': (10131, 746, 310, 'knob', 0.3),
    'comp_attack': (10131, 164, 236, 'knob', 0.0),
    'comp_release': (10131, 219, 236, 'knob', 0.1),
    'comp_threshold': (10131, 274, 236, 'knob', 0.5),
    'comp_ratio': (10131, 329, 236, 'knob', 0.2),
    'comp_makeup': (10131, 383, 236, 'knob', 0.5),
    'gate_attack': (10131, 525, 236, 'knob', 0.0),
    'gate_release': (10131, 580, 236, 'knob', 0.1),
    'gate_threshold': (10131, 635, 236, 'knob', 0.5),
    'gate_hold': (10131, 690, 236, 'knob', 0.0),
    'gate_range': (10131, 745, 236, 'knob', 0.5),
    'space_width': (10131, 541, 86, 'knob', 0.5),
    'low_gain': (10131, 153, 161, 'knob', 0.5),
    'low_freq': (10131, 213, 161, 'knob', 0.5),
    'low_band': (10131, 273, 161, 'knob', 0.5),
    'mid_gain': (10131, 344, 161, 'knob', 0.5),
    'mid_freq': (10131, 404, 161, 'knob', 0.5),
    'mid_band': (10131, 464, 161, 'knob', 0.5),
    'hi_gain': (10131, 536, 161, 'knob', 0.5),
    'hi_freq': (10131, 596, 161, 'knob', 0.5),
    'hi_band': (10131, 656, 161, 'knob', 0.5),
    'eq_gain': (10131, 726, 161, 'knob', 0.5),
    'comp_meter': (10101, 431, 229, 'meter', 1.0),
    'gate_lamp': (10137, 790, 236, 'movie', 1.0),
    'space_lamp': (10142, 594, 95, 'movie', 0.0),
    'space_display': (10135, 390, 95, 'movie', 0.0),
}

AMPLIFIER_ENTRIES = [
    'Classic Lead 4x12 A', 'Classic Lead 4x12 B', 'Classic Lead 4x12 C', 'Modern Lead 4x12 A',
    'Modern Lead 4x12 B', 'Modern Lead 4x12 C', 'Combo A 1x12', 'Combo B 2x12', 'Combo C 2x12',
    'Tweed A 1x12', 'Tweed B 2x12', 'Tweed C 2x12', 'Super Lead 4x12 A', 'Super Lead 4x12 B',
    'Super Lead 4x12 C', 'Rectified Lead 4x12 A', 'Rectified Lead 4x12 B',
    'Rectified Lead 4x12 C', '-', 'BYPASS',
]

# --------------------------------------------------------------------------------------
# Scales: the design's logical pixels on the pixels of the scale being drawn.

SCALES = (100, 150, 200)


class Zoom:
    """The scale being drawn, in percent, with the conversions of logical lengths."""

    def __init__(self, percent):
        self.percent = percent
        self.s = percent / 100.0

    def v(self, x):
        """A position or length of the design, in pixels (fractions kept)."""
        return x * self.s

    def d(self, x):
        """The pixel edge of an integer logical coordinate, as the toolkit places it."""
        return x * self.percent // 100

    def rect(self, r):
        return tuple(self.d(c) for c in r)

    def cell(self, n):
        """Pixels of an image n logical pixels long: enough for every placement."""
        return -(-n * self.percent // 100)

    def r(self, x):
        """A logical position on a whole pixel (text baselines)."""
        return int(math.floor(x * self.s + 0.5))

    def font(self, size):
        """A font's pixel height, rounded as the toolkit's fonts are."""
        return (size * self.percent + 50) // 100

    def px(self, n):
        """A small whole number of pixels (shifts, rings): at least 1."""
        return max(1, (n * self.percent + 50) // 100)


Z = Zoom(100)


def set_scale(percent):
    global Z
    Z = Zoom(percent)


# --------------------------------------------------------------------------------------
# Raster helpers: float RGB images of shape (height, width, 3), masks of (height, width).


def blank(width, height, color):
    image = np.empty((height, width, 3))
    image[:] = color
    return image


def pixel_grid(width, height):
    """Pixel centres: x and y arrays of shape (height, width)."""
    return np.meshgrid(np.arange(width) + 0.5, np.arange(height) + 0.5)


def paint(image, mask, color, opacity=1.0):
    m = np.clip(mask * opacity, 0.0, 1.0)[..., None]
    image *= 1.0 - m
    image += m * np.asarray(color, dtype=float)


def coverage(signed_distance):
    """Pixel coverage of a shape from its signed distance (negative inside)."""
    return np.clip(0.5 - signed_distance, 0.0, 1.0)


def disc(xx, yy, cx, cy, r):
    return coverage(np.hypot(xx - cx, yy - cy) - r)


def box(xx, yy, x0, y0, x1, y1, radius=0.0):
    """Rounded box covering x0..x1, y0..y1 (pixel edges)."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    qx = np.abs(xx - cx) - ((x1 - x0) / 2.0 - radius)
    qy = np.abs(yy - cy) - ((y1 - y0) / 2.0 - radius)
    outside = np.hypot(np.maximum(qx, 0), np.maximum(qy, 0))
    inside = np.minimum(np.maximum(qx, qy), 0)
    return coverage(outside + inside - radius)


def segment_distance(xx, yy, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    t = np.clip(((xx - x0) * dx + (yy - y0) * dy) / max(dx * dx + dy * dy, 1e-9), 0, 1)
    return np.hypot(xx - (x0 + t * dx), yy - (y0 + t * dy))


def stroke(xx, yy, x0, y0, x1, y1, width):
    return coverage(segment_distance(xx, yy, x0, y0, x1, y1) - width / 2.0)


def blur(a, sigma):
    """Separable Gaussian blur of a mask or image, edges extended."""
    k = max(1, int(3 * sigma + 0.5))
    taps = np.exp(-np.arange(-k, k + 1) ** 2 / (2.0 * sigma * sigma))
    taps /= taps.sum()
    for axis in (0, 1):
        pad = [(0, 0)] * a.ndim
        pad[axis] = (k, k)
        padded = np.pad(a, pad, mode='edge')
        n = a.shape[axis]
        a = sum(w * np.take(padded, np.arange(i, i + n), axis=axis) for i, w in enumerate(taps))
    return a


def shift(mask, dx, dy):
    """Mask moved by whole pixels, zero filled."""
    out = np.zeros_like(mask)
    h, w = mask.shape
    out[max(dy, 0):h + min(dy, 0), max(dx, 0):w + min(dx, 0)] = \
        mask[max(-dy, 0):h + min(-dy, 0), max(-dx, 0):w + min(-dx, 0)]
    return out


def drop_shadow(image, mask, dx, dy, sigma, strength):
    """Darkens image under the blurred mask moved by (dx, dy) (fractions allowed)."""
    moved = mask
    if dx or dy:
        # Bilinear move by a fractional offset.
        ix, fx = int(np.floor(dx)), dx - np.floor(dx)
        iy, fy = int(np.floor(dy)), dy - np.floor(dy)
        a = shift(mask, ix, iy)
        b = shift(mask, ix + 1, iy)
        c = shift(mask, ix, iy + 1)
        d = shift(mask, ix + 1, iy + 1)
        moved = (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy
    shade = blur(moved, sigma) * strength
    image *= (1.0 - np.clip(shade, 0, 1))[..., None]


def mix(a, b, t):
    t = np.asarray(t, dtype=float)
    return np.asarray(a, dtype=float) * (1 - t[..., None]) + np.asarray(b, dtype=float) * t[..., None]


# --------------------------------------------------------------------------------------
# Text


_fonts = {}


def font(path, size):
    key = (path, size)
    if key not in _fonts:
        _fonts[key] = ImageFont.truetype(path, size)
    return _fonts[key]


def text_width(text, face, tracking=0.0):
    return sum(face.getlength(ch) for ch in text) + tracking * (len(text) - 1)


def text_mask(width, height, text, face, x, baseline, align='center', tracking=0.0):
    """Coverage of text set on a baseline; x is its centre, left or right edge."""
    canvas = Image.new('L', (width, height), 0)
    draw = ImageDraw.Draw(canvas)
    total = text_width(text, face, tracking)
    left = {'center': x - total / 2.0, 'left': x, 'right': x - total}[align]
    if tracking == 0.0:
        draw.text((round(left), baseline), text, font=face, fill=255, anchor='ls')
    else:
        pen = left
        for ch in text:
            draw.text((round(pen), baseline), ch, font=face, fill=255, anchor='ls')
            pen += face.getlength(ch) + tracking
    return np.asarray(canvas, dtype=float) / 255.0


def label(image, text, x, baseline, size=LABEL_SIZE, color=CREAM, align='center',
          path=FONT_LABEL, tracking=LABEL_TRACKING):
    """Text at a logical position, size and tracking, drawn at the scale."""
    h, w = image.shape[:2]
    paint(image, text_mask(w, h, text, font(path, Z.font(size)), Z.v(x), Z.v(baseline), align,
                           Z.v(tracking)), color)


# --------------------------------------------------------------------------------------
# 5-6-5 conversion with ordered dither, and the bitmap file format.

BAYER_8 = np.array([
    [0, 32, 8, 40, 2, 34, 10, 42], [48, 16, 56, 24, 50, 18, 58, 26],
    [12, 44, 4, 36, 14, 46, 6, 38], [60, 28, 52, 20, 62, 30, 54, 22],
    [3, 35, 11, 43, 1, 33, 9, 41], [51, 19, 59, 27, 49, 17, 57, 25],
    [15, 47, 7, 39, 13, 45, 5, 37], [63, 31, 55, 23, 61, 29, 53, 21]])


def to_565(image):
    """Packs a float image into 16-bit 5-6-5 values. A colour 5-6-5 holds exactly stays
    exact (the dither offsets lie strictly inside -0.5..0.5 of a step)."""
    h, w = image.shape[:2]
    threshold = (BAYER_8[np.arange(h)[:, None] % 8, np.arange(w)[None, :] % 8] + 0.5) / 64.0 - 0.5
    channels = []
    for c, levels in enumerate((31, 63, 31)):
        v = np.clip(image[..., c], 0, 255) * levels / 255.0 + threshold
        channels.append(np.clip(np.floor(v + 0.5), 0, levels).astype(np.uint16))
    return (channels[0] << 11) | (channels[1] << 5) | channels[2]


def from_565(pixels):
    """8-bit RGB of 16-bit 5-6-5 values (bit replication), for review images."""
    r = (pixels >> 11) & 31
    g = (pixels >> 5) & 63
    b = pixels & 31
    return np.stack([(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)], -1).astype(np.uint8)


def bmp_bytes(pixels):
    """A 16-bit BI_BITFIELDS (5-6-5) bottom-up Windows bitmap of a (height, width) array."""
    h, w = pixels.shape
    stride = (w * 2 + 3) & ~3
    header_size = 14 + 40 + 12
    rows = bytearray()
    for y in range(h - 1, -1, -1):
        row = pixels[y].astype('<u2').tobytes()
        rows += row + b'\0' * (stride - len(row))
    file_header = struct.pack('<2sIHHI', b'BM', header_size + len(rows), 0, 0, header_size)
    info_header = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 16, 3, len(rows), 2835, 2835, 0, 0)
    masks = struct.pack('<III', 0xF800, 0x07E0, 0x001F)
    return file_header + info_header + masks + bytes(rows)


# --------------------------------------------------------------------------------------
# Materials


def tolex(width, height, seed):
    """Pebbled black vinyl lit from the upper left (width and height in pixels). At a
    scale the pebbles keep their logical size: blurred with scaled radii, the noise is
    brought back to its contrast, and the relief is taken over as many pixels."""
    rng = np.random.RandomState(seed)
    grain = blur(rng.standard_normal((height, width)), Z.v(1.1)) * 1.6 \
        + blur(rng.standard_normal((height, width)), Z.v(2.6)) * 2.2
    if Z.percent != 100:
        grain *= Z.s
    step = Z.px(1)
    relief = grain - shift(grain, step, step)
    shade = np.clip(relief * 9.0, -14, 14)
    fine = rng.standard_normal((height, width)) * 1.2
    xx, yy = pixel_grid(width, height)
    sheen = 6.0 * (1.0 - (xx / width * 0.6 + yy / height * 0.4))
    image = blank(width, height, TOLEX)
    image += (shade + fine + sheen)[..., None]
    return image


def grille_cloth(width, height, seed):
    """Oxblood basket weave: threads three pixels wide that pass over and under."""
    rng = np.random.RandomState(seed)
    xx, yy = np.meshgrid(np.arange(width), np.arange(height))
    thread = 3 if Z.percent == 100 else Z.v(3)
    rows, cols = (yy // thread).astype(int), (xx // thread).astype(int)
    horizontal_on_top = ((rows + cols) % 2) == 0
    across = np.where(horizontal_on_top, yy % thread, xx % thread)
    profile = 1.0 - 0.55 * ((across - (thread - 1) / 2.0) / (thread / 2.0)) ** 2
    row_tone = rng.uniform(0.82, 1.12, int(height // thread) + 1)[rows]
    col_tone = rng.uniform(0.82, 1.12, int(width // thread) + 1)[cols]
    tone = np.where(horizontal_on_top, row_tone, col_tone) * profile
    tone *= 1.0 + rng.standard_normal((height, width)) * 0.05
    image = mix(GRILLE_THREAD_DARK, GRILLE_THREAD, np.clip(tone - 0.1, 0, 1.2))
    # Light falls from the upper left across the recessed cloth.
    light = 1.08 - 0.28 * (xx / width * 0.55 + yy / height * 0.45)
    image *= light[..., None]
    return image


def recess(image, rect, depth=7.0, strength=0.55):
    """Shadow that the cabinet casts into an opening from its upper and left edges (rect
    and depth logical)."""
    x0, y0, x1, y1 = Z.rect(rect)
    depth = Z.v(depth)
    h, w = image.shape[:2]
    xx, yy = pixel_grid(w, h)
    top = np.clip(1.0 - (yy - y0) / depth, 0, 1) ** 2
    left = np.clip(1.0 - (xx - x0) / depth, 0, 1) ** 2
    bottom = np.clip(1.0 - (y1 - yy) / (depth * 0.4), 0, 1) ** 2 * 0.4
    right = np.clip(1.0 - (x1 - xx) / (depth * 0.4), 0, 1) ** 2 * 0.4
    inside = box(xx, yy, x0, y0, x1, y1)
    shade = np.clip(top + left + bottom + right, 0, 1) * strength * inside
    image *= (1.0 - shade)[..., None]


def piping(image, rect, radius=5.0):
    """Silver piping round an opening: a bead lit from the upper left."""
    x0, y0, x1, y1 = Z.rect(rect)
    radius, bead = Z.v(radius), Z.v(3)
    h, w = image.shape[:2]
    xx, yy = pixel_grid(w, h)
    outer = box(xx, yy, x0 - bead, y0 - bead, x1 + bead, y1 + bead, radius + bead)
    inner = box(xx, yy, x0, y0, x1, y1, radius)
    ring = np.clip(outer - inner, 0, 1)
    # Bead shading: bright on the upper-left faces, dark on the lower-right ones.
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    facing = np.clip(-((xx - cx) / (x1 - x0) + (yy - cy) / (y1 - y0)) * 1.6 + 0.5, 0, 1)
    drop_shadow(image, outer, Z.v(1.5), Z.v(2.0), Z.v(1.6), 0.5)
    paint(image, ring, mix(np.asarray(PIPING) * 0.45, PIPING, facing))
    # A thin specular line along the middle of the bead.
    a, b = Z.v(1.8), Z.v(1.2)
    mid = np.clip(box(xx, yy, x0 - a, y0 - a, x1 + a, y1 + a, radius + a)
                  - box(xx, yy, x0 - b, y0 - b, x1 + b, y1 + b, radius + b), 0, 1)
    paint(image, mid, CHROME_LIGHT, 0.55 * facing)


def plate(image, rect):
    """The flat anodised plate in its bright bevelled trim; the face is PANEL_FACE."""
    x0, y0, x1, y1 = Z.rect(rect)
    h, w = image.shape[:2]
    xx, yy = pixel_grid(w, h)
    corner = Z.v(3)
    drop_shadow(image, box(xx, yy, x0, y0, x1, y1, corner), Z.v(2.0), Z.v(3.0), Z.v(2.5), 0.6)
    outer = box(xx, yy, x0, y0, x1, y1, corner)
    paint(image, outer, TRIM_DARK)
    # Bevel: upper and left faces catch the light.
    t, one = Z.v(TRIM_WIDTH), Z.v(1)
    upper_left = np.clip(((xx - x0) < t) | ((yy - y0) < t), 0, 1) * (xx - x0 < (x1 - x0) - (yy - y0))
    paint(image, outer * upper_left, TRIM_LIGHT)
    paint(image, box(xx, yy, x0 + t - one, y0 + t - one, x1 - t + one, y1 - t + one, Z.v(1.5)), (8, 8, 8))
    paint(image, box(xx, yy, x0 + t, y0 + t, x1 - t, y1 - t), PANEL_FACE)


def engraved_rule(image, x0, x1, y=None, x=None, y0=None, y1=None):
    """A rule cut into the plate: a dark line with a lit lip below or right of it, each
    one logical pixel wide (logical coordinates)."""
    d = Z.d
    if y is not None:
        image[d(y):d(y + 1), d(x0):d(x1)] = PANEL_RULE_DARK
        image[d(y + 1):d(y + 2), d(x0):d(x1)] = PANEL_RULE_LIGHT
    else:
        image[d(y0):d(y1), d(x):d(x + 1)] = PANEL_RULE_DARK
        image[d(y0):d(y1), d(x + 1):d(x + 2)] = PANEL_RULE_LIGHT


def window_frame(image, rect, inside_color, radius=1.5, margin=2):
    """A recessed window on the plate round a control's rectangle (logical; the inside is
    the control's pixels): shadowed upper-left lip, lit lower-right lip."""
    x0, y0, x1, y1 = Z.rect(rect)
    radius, margin, one = Z.v(radius), Z.v(margin), Z.v(1)
    h, w = image.shape[:2]
    xx, yy = pixel_grid(w, h)
    outer = box(xx, yy, x0 - margin, y0 - margin, x1 + margin, y1 + margin, radius + margin)
    paint(image, outer, (78, 77, 74))
    paint(image, box(xx, yy, x0 - margin, y0 - margin, x1 + margin - one, y1 + margin - one,
                     radius + margin), (6, 6, 6))
    paint(image, box(xx, yy, x0 - one, y0 - one, x1, y1, radius), (20, 20, 20))
    image[y0:y1, x0:x1] = inside_color


# --------------------------------------------------------------------------------------
# Knobs


def knob_angle(k, n):
    return KNOB_START_DEG + KNOB_RANGE_DEG * k / (n - 1)


def scaled_knob(knob):
    """A knob's dimensions at the scale: the image in whole pixels, the rest as lengths."""
    scaled = {key: (tuple(Z.v(v) for v in value) if isinstance(value, tuple) else Z.v(value))
              for key, value in knob.items() if key not in ('size', 'ridges')}
    scaled.update(pixels=Z.cell(knob['size']), centre=Z.v(knob['size'] / 2.0), ridges=knob['ridges'])
    return scaled


def knob_scale(image, knob):
    """Eleven ticks on the plate round the knob; the ends and the middle are longer."""
    size = knob['pixels']
    c = knob['centre']
    xx, yy = pixel_grid(size, size)
    marks = np.zeros((size, size))
    for i in range(11):
        a = np.radians(knob_angle(i, 11))
        inner = knob['major_in'] if i in (0, 5, 10) else knob['scale_in']
        ux, uy = np.cos(a), -np.sin(a)
        marks = np.maximum(marks, stroke(xx, yy, c + ux * inner, c + uy * inner,
                                         c + ux * knob['scale_out'], c + uy * knob['scale_out'],
                                         knob['tick_width']))
    paint(image, marks, SCALE_MARK)


def knob_frame(knob, angle_deg, seed=7):
    """One image of a knob film strip: scale, shadow, skirt, cap and pointer (knob: the
    dimensions at the scale)."""
    size = knob['pixels']
    c = knob['centre']
    image = blank(size, size, PANEL_FACE)
    knob_scale(image, knob)
    xx, yy = pixel_grid(size, size)
    dx, dy = xx - c, yy - c
    r = np.hypot(dx, dy)
    phi = np.arctan2(-dy, dx)                        # counter-clockwise from 3 o'clock
    a = np.radians(angle_deg)
    light = np.radians(135.0)                        # the light comes from the upper left

    skirt = disc(xx, yy, c, c, knob['skirt'])
    sx, sy, sigma = knob['shadow']
    drop_shadow(image, skirt, sx, sy, sigma, 0.75)

    # Spun aluminium skirt: conical sheen fixed to the light, fine concentric rings.
    rings = np.random.RandomState(seed).uniform(-1, 1, 64)
    ring_tone = np.interp(r * 4.0 / Z.s, np.arange(64), rings) * 7.0
    sheen = 0.5 + 0.5 * np.cos(2.0 * (phi - light))
    tone = np.asarray(ALUMINIUM) * (0.62 + 0.38 * sheen)[..., None] + ring_tone[..., None]
    slope = np.clip((r - knob['cap']) / (knob['skirt'] - knob['cap']), 0, 1)
    tone *= (1.0 - 0.18 * slope)[..., None]
    paint(image, skirt, tone)
    facing = np.cos(phi - light)                     # +1 on the lit side
    lip = np.clip(skirt - disc(xx, yy, c, c, knob['skirt'] - Z.v(1.6)), 0, 1)
    paint(image, lip, (250, 250, 246), 0.75 * np.clip(facing, 0, 1))
    paint(image, lip, (36, 36, 36), 0.7 * np.clip(-facing, 0, 1))
    rim = np.clip(skirt - disc(xx, yy, c, c, knob['skirt'] - Z.v(0.7)), 0, 1)
    paint(image, rim, (30, 30, 30), 0.5)

    # Index line engraved on the skirt.
    ux, uy = np.cos(a), -np.sin(a)
    index = stroke(xx, yy, c + ux * knob['index_in'], c + uy * knob['index_in'],
                   c + ux * (knob['skirt'] - Z.v(1.2)), c + uy * (knob['skirt'] - Z.v(1.2)),
                   knob['pointer_width'] * 0.8)
    paint(image, index, (14, 14, 14), 0.9)

    # Black cap: a soft shadow on the skirt, a knurled edge and a domed top.
    cap = disc(xx, yy, c, c, knob['cap'])
    drop_shadow(image, cap, sx * 0.6, sy * 0.6, sigma * 0.7, 0.55)
    knurl_zone = np.clip((r - (knob['cap'] - knob['knurl'])) / knob['knurl'], 0, 1)
    ridges = 0.5 + 0.5 * np.cos(knob['ridges'] * (phi - a))
    cap_tone = np.asarray(KNOB_CAP) + (10.0 + 22.0 * np.clip(facing, 0, 1))[..., None] \
        * (knurl_zone * ridges)[..., None]
    dome = np.exp(-((dx + knob['cap'] * 0.35) ** 2 + (dy + knob['cap'] * 0.4) ** 2)
                  / (2 * (knob['cap'] * 0.45) ** 2))
    cap_tone = cap_tone + (dome * 30.0 * (1 - knurl_zone))[..., None]
    paint(image, cap, cap_tone)
    edge = np.clip(cap - disc(xx, yy, c, c, knob['cap'] - Z.v(0.9)), 0, 1)
    paint(image, edge, (150, 150, 146), 0.8 * np.clip(facing, 0, 1))

    pointer = stroke(xx, yy, c + ux * knob['pointer_in'], c + uy * knob['pointer_in'],
                     c + ux * knob['pointer_out'], c + uy * knob['pointer_out'],
                     knob['pointer_width'])
    paint(image, pointer, POINTER)
    return settle_edges(image, PANEL_FACE)


def knob_strip(knob, images):
    scaled = scaled_knob(knob)
    return [knob_frame(scaled, knob_angle(k, images)) for k in range(images)]


# --------------------------------------------------------------------------------------
# Switches, buttons and lamps. The parts (nuts, levers, LEDs) take pixels of the scale;
# the controls give their design in logical pixels.


def chrome_nut(image, cx, cy, r):
    """A chrome ring nut with a dark bore, lit from the upper left."""
    h, w = image.shape[:2]
    xx, yy = pixel_grid(w, h)
    outer = disc(xx, yy, cx, cy, r)
    drop_shadow(image, outer, r * 0.12, r * 0.18, max(Z.v(0.8), r * 0.12), 0.7)
    phi = np.arctan2(-(yy - cy), xx - cx)
    sheen = 0.5 + 0.5 * np.cos(2.0 * (phi - np.radians(135)))
    paint(image, outer, mix(CHROME_DARK, CHROME_LIGHT, 0.25 + 0.75 * sheen))
    paint(image, np.clip(outer - disc(xx, yy, cx, cy, r - Z.v(0.8)), 0, 1), (30, 30, 30), 0.6)
    paint(image, disc(xx, yy, cx, cy, r * 0.48), (18, 18, 18))


def toggle_lever(image, cx, cy, length, base_width, tip_radius, direction):
    """A bat-handle lever from the nut's centre towards direction (-1 up, +1 down)."""
    h, w = image.shape[:2]
    xx, yy = pixel_grid(w, h)
    tip_y = cy + direction * length
    t = np.clip((yy - cy) / (tip_y - cy), 0, 1)
    half = base_width / 2.0 + (tip_radius * 0.85 - base_width / 2.0) * t
    shaft = coverage(np.abs(xx - cx) - half) * ((yy - cy) * direction >= 0) * (t < 1)
    lever = np.maximum(shaft, disc(xx, yy, cx, tip_y, tip_radius))
    drop_shadow(image, lever, tip_radius * 0.5, tip_radius * 0.7, tip_radius * 0.35, 0.65)
    across = np.clip((xx - cx) / (tip_radius + Z.v(0.5)), -1, 1)
    tone = mix(CHROME_LIGHT, CHROME_DARK, np.clip(0.35 + 0.65 * across, 0, 1))
    highlight = np.exp(-((xx - cx + tip_radius * 0.35) ** 2 + (yy - tip_y + tip_radius * 0.35) ** 2)
                       / (2 * (tip_radius * 0.35) ** 2))
    tone = tone + (highlight * 70.0)[..., None]
    paint(image, lever, tone)


def toggle_frame(width, height, up, nut_radius, length, base_width, tip_radius):
    """A chrome toggle: washer, hex nut, bore and lever, centred in the image."""
    cx, cy = Z.v(width / 2.0), Z.v(height / 2.0)
    nut_radius, length, base_width, tip_radius = (Z.v(v) for v in (nut_radius, length, base_width, tip_radius))
    width, height = Z.cell(width), Z.cell(height)
    image = blank(width, height, PANEL_FACE)
    xx, yy = pixel_grid(width, height)
    washer = disc(xx, yy, cx, cy, nut_radius * 1.12)
    paint(image, washer, mix(CHROME_MID, CHROME_DARK, np.clip(0.5 + ((xx - cx) + (yy - cy))
                                                              / (3 * nut_radius), 0, 1)))
    hex_nut(image, cx, cy, nut_radius)
    paint(image, disc(xx, yy, cx, cy, base_width * 0.75), (16, 16, 16))
    toggle_lever(image, cx, cy, length, base_width, tip_radius, -1 if up else 1)
    return settle_edges(image, PANEL_FACE)


def big_toggle(up):
    return toggle_frame(26, 39, up, 8.0, 13.5, 3.0, 3.0)


def mini_toggle(up):
    return toggle_frame(24, 20, up, 5.2, 6.6, 2.0, 2.1)


def input_toggle(up):
    return toggle_frame(32, 74, up, 10.5, 24.0, 4.0, 4.2)


def led(image, cx, cy, r, color_on, color_off, lit, bezel=0.0, halo=0.0):
    """A round LED jewel in an optional chrome bezel; a lit one glows (halo: how far
    the glow reaches past the bezel, for lamps drawn on the page itself)."""
    h, w = image.shape[:2]
    xx, yy = pixel_grid(w, h)
    d = np.hypot(xx - cx, yy - cy)
    if lit and halo > 0:
        glow = np.exp(-np.maximum(d - r, 0) ** 2 / (2 * (halo / 2.0) ** 2)) * (d < r + bezel + halo)
        paint(image, glow, color_on, 0.45)
    if bezel > 0:
        ring = disc(xx, yy, cx, cy, r + bezel)
        paint(image, ring, mix(CHROME_LIGHT, CHROME_DARK,
                               np.clip(0.5 + ((xx - cx) + (yy - cy)) / (2 * (r + bezel)), 0, 1)))
    lens = disc(xx, yy, cx, cy, r)
    u = np.clip(d / r, 0, 1)
    if lit:
        tone = mix(color_on, (255, 252, 236), np.clip(1.0 - u * 1.3, 0, 1) ** 1.2 * 0.85)
        tone = tone * (1.0 - 0.25 * u ** 3)[..., None]
    else:
        tone = mix(color_off, np.asarray(color_off) * 0.45, u)
    paint(image, lens, tone)
    glint = disc(xx, yy, cx - r * 0.35, cy - r * 0.4, max(r * 0.28, Z.v(0.6)))
    paint(image, glint, (255, 255, 255), 0.6 if lit else 0.45)


def settle_edges(image, color, width=2):
    """Brings an image's outer rings (width logical pixels) to the flat colour of the page
    under it, so that a control drawn opaquely over the page meets it without a seam: ring
    0 exactly, and at a larger scale ring 1 too, the edge of a placement one pixel narrower
    than the image."""
    rings = Z.px(width)
    flat = 1 if Z.percent == 100 or width == 1 else 2
    for ring in range(rings):
        weight = 1.0 if ring < flat else 1.0 - (ring - flat + 1) / float(rings - flat + 1)
        for region in (image[ring, ring:image.shape[1] - ring],
                       image[image.shape[0] - 1 - ring, ring:image.shape[1] - ring],
                       image[ring:image.shape[0] - ring, ring],
                       image[ring:image.shape[0] - ring, image.shape[1] - 1 - ring]):
            region *= 1.0 - weight
            region += weight * np.asarray(color, dtype=float)
    return image


def hex_nut(image, cx, cy, r):
    """A chrome hexagon nut (r: corner radius) whose six faces take the light in turn."""
    h, w = image.shape[:2]
    xx, yy = pixel_grid(w, h)
    dx, dy = np.abs(xx - cx), np.abs(yy - cy)
    apothem = r * np.cos(np.pi / 6)
    nut = coverage(np.maximum(dy, dx * np.cos(np.pi / 6) + dy * 0.5) - apothem)
    phi = np.arctan2(-(yy - cy), xx - cx)
    face = np.round((phi - np.pi / 6) / (np.pi / 3)) * (np.pi / 3) + np.pi / 6
    lit = 0.5 + 0.5 * np.cos(face - np.radians(135))
    top = disc(xx, yy, cx, cy, apothem * 0.78)
    drop_shadow(image, nut, r * 0.12, r * 0.16, max(Z.v(0.7), r * 0.1), 0.7)
    paint(image, nut, mix(CHROME_DARK, CHROME_LIGHT, 0.15 + 0.8 * lit))
    paint(image, top, mix(CHROME_MID, CHROME_LIGHT, np.clip(0.5 - ((xx - cx) + (yy - cy)) / (2 * r), 0, 1)))


def section_switch(on):
    """A chrome footswitch (hex nut round a domed plunger) with its LED jewel above; on,
    the LED is lit and the plunger sits lower."""
    v = Z.v
    image = blank(Z.cell(32), Z.cell(31), PANEL_FACE)
    xx, yy = pixel_grid(Z.cell(32), Z.cell(31))
    led(image, v(16), v(5.2), v(2.6), LED_RED_ON, LED_RED_OFF, on, bezel=v(1.1))
    cx, cy = v(16.0), v(19.0)
    hex_nut(image, cx, cy, v(8.6))
    plunger = disc(xx, yy, cx, cy, v(4.6))
    drop_shadow(image, plunger, v(0.4 if on else 1.0), v(0.6 if on else 1.4), v(0.8), 0.7)
    d = np.hypot(xx - cx + v(1.2 if on else 1.8), yy - cy + v(1.2 if on else 2.0)) / v(4.6)
    dome = mix(CHROME_LIGHT, CHROME_DARK, np.clip(d * (0.9 if on else 0.75), 0, 1))
    paint(image, plunger, dome * (0.8 if on else 1.0))
    return settle_edges(image, PANEL_FACE)


def space_button(on):
    """A small rectangular push button with a pilot dot."""
    v = Z.v
    image = blank(Z.cell(28), Z.cell(14), PANEL_FACE)
    xx, yy = pixel_grid(Z.cell(28), Z.cell(14))
    body = box(xx, yy, v(2), v(2), v(26), v(12), v(2.0))
    drop_shadow(image, body, v(0.8), v(1.0), v(0.9), 0.7)
    press = v(0.6 if on else 0.0)
    paint(image, body, (40, 40, 40))
    face = box(xx, yy, v(3), v(3) + press, v(25), v(11) + press * 0.4, v(1.5))
    paint(image, face, mix(CHROME_LIGHT, CHROME_MID, np.clip((yy - v(3)) / v(8.0), 0, 1))
          * (0.8 if on else 1.0))
    led(image, v(21.0), v(7.0) + press * 0.5, v(1.7), LED_RED_ON, LED_RED_OFF, on)
    return settle_edges(image, PANEL_FACE)


def jewel_lamp(width, height, lit):
    """A vertical glass jewel in a chrome bezel (the space lamp)."""
    v = Z.v
    image = blank(Z.cell(width), Z.cell(height), WINDOW_BLACK)
    xx, yy = pixel_grid(Z.cell(width), Z.cell(height))
    cx = v(width / 2.0)
    bezel = stroke(xx, yy, cx, v(5.0), cx, v(height - 5.0), v(7.4))
    paint(image, bezel, mix(CHROME_LIGHT, CHROME_DARK, np.clip((xx - v(1.5)) / v(7.0), 0, 1)))
    lens = stroke(xx, yy, cx, v(5.5), cx, v(height - 5.5), v(5.0))
    across = np.clip(np.abs(xx - cx) / v(2.5), 0, 1)
    if lit:
        tone = mix(LED_RED_ON, (255, 226, 196), np.clip(1.0 - across * 2.0, 0, 1) ** 1.5 * 0.7)
    else:
        tone = mix(LED_RED_OFF, np.asarray(LED_RED_OFF) * 0.45, across)
    paint(image, lens, tone)
    paint(image, stroke(xx, yy, cx - v(1.0), v(7.0), cx - v(1.0), v(10.0), v(1.0)), (255, 255, 255),
          0.6 if lit else 0.4)
    return settle_edges(image, WINDOW_BLACK, 1)


def gate_lamp(state):
    """Three LEDs in a window: red when the gate is shut, amber half open, green open."""
    image = blank(Z.cell(10), Z.cell(30), WINDOW_BLACK)
    colors = [(LED_GREEN_ON, LED_GREEN_OFF), (LED_AMBER_ON, LED_AMBER_OFF),
              (LED_RED_ON, LED_RED_OFF)]
    for slot, (on, off) in enumerate(colors):
        led(image, Z.v(5.0), Z.v(5.0 + 10.0 * slot), Z.v(3.1), on, off, lit=(slot == 2 - state))
    return settle_edges(image, WINDOW_BLACK, 1)


def space_display(step, steps=7):
    """A row of amber segments lit from the centre outwards, narrow to wide."""
    v = Z.v
    image = blank(Z.cell(130), Z.cell(10), WINDOW_BLACK)
    xx, yy = pixel_grid(Z.cell(130), Z.cell(10))
    middle = SPACE_SEGMENTS // 2
    reach = round(step * middle / (steps - 1))
    pitch = 6.0
    for i in range(SPACE_SEGMENTS):
        x0 = 2.0 + i * pitch
        segment = box(xx, yy, v(x0), v(2.0), v(x0 + 4.5), v(8.0), v(0.8))
        lit = abs(i - middle) <= reach
        paint(image, segment, LED_AMBER_ON if lit else LED_AMBER_OFF)
        if lit:
            paint(image, box(xx, yy, v(x0 + 1.0), v(3.0), v(x0 + 3.5), v(5.0), v(0.5)), (255, 236, 180), 0.6)
    return image


def meter_column(lit):
    """The compressor meter's ten LEDs, 4 pixels wide, one picture of the whole column; a
    dark row under each LED, at the rows the meter's levels fall on."""
    d = Z.d
    image = blank(Z.cell(4), Z.cell(44), WINDOW_BLACK)
    for k in range(METER_LEDS):
        top = int(k * 44 / METER_LEDS)
        bottom = int((k + 1) * 44 / METER_LEDS) - 1
        color = LED_AMBER_ON if lit else LED_AMBER_OFF
        image[d(top):d(bottom), :] = color
        if lit:
            image[d(top):d(bottom), d(1):d(3)] = mix(LED_AMBER_ON, (255, 240, 200), 0.45)
    return image


def menu_plate():
    """The ivory plate of the amplifier menu, bevelled, room for centred text; at a scale,
    of the pixels its place on the page has (its bevel meets the window round it)."""
    _, mx, my, _, _ = AMP_CONTROLS['amplifier']
    d = Z.d
    def across(x):
        return d(mx + x) - d(mx)

    def down(y):
        return d(my + y) - d(my)
    width, height = across(111), down(16)
    assert (width, height) == (Z.cell(111), Z.cell(16)), 'the menu plate fills its bitmap'
    image = blank(width, height, MENU_PLATE)
    xx, yy = pixel_grid(width, height)
    image *= (1.02 - 0.05 * yy / Z.v(16.0))[..., None]
    image[0:down(1), :] = (252, 250, 242)
    image[:, 0:across(1)] = (252, 250, 242)
    image[down(15):height, :] = (150, 144, 128)
    image[:, across(110):width] = (150, 144, 128)
    return image


# --------------------------------------------------------------------------------------
# Logo


def logo(image, rect, script_size=58, maker_size=11):
    """The script name in brass and chrome with the maker's name below it, on its shadow."""
    v = Z.v
    x0, y0, x1, y1 = rect
    h, w = image.shape[:2]
    cx = v((x0 + x1) / 2.0)
    face = font(FONT_LOGO, Z.font(script_size))
    baseline = v(y0 + script_size * 0.80)
    script = text_mask(w, h, 'Korvalex', face, cx, baseline)
    outline = np.clip(blur(script, v(1.0)) * 3.0, 0, 1)
    drop_shadow(image, outline, v(3.0), v(4.0), v(2.5), 0.85)
    paint(image, outline, (28, 20, 14))
    xx, yy = pixel_grid(w, h)
    t = np.clip((yy - (baseline - v(script_size * 0.72))) / v(script_size * 0.80), 0, 1)
    fill = np.where((t < 0.55)[..., None], mix(LOGO_TOP, LOGO_MID, t / 0.55),
                    mix((150, 112, 52), LOGO_LOW, (t - 0.55) / 0.45))
    paint(image, script, fill)
    bevel = np.clip(script - shift(script, Z.px(1), Z.px(1)), 0, 1)
    paint(image, bevel, (255, 255, 250), 0.7)
    maker = text_mask(w, h, 'ZARELWORKS', font(FONT_LABEL, Z.font(maker_size)), cx, v(y1 - 2),
                      tracking=v(4.0))
    drop_shadow(image, maker, v(1.0), v(1.0), v(0.8), 0.7)
    paint(image, maker, LOGO_LOW)


# --------------------------------------------------------------------------------------
# Pages


def cabinet(seed):
    return tolex(Z.cell(PAGE_W), Z.cell(PAGE_H), seed)


def amp_page(input_lamp=None):
    """The amp page; input_lamp 0 or 1 lights one of the input indicator's lamps."""
    v, d = Z.v, Z.d
    image = cabinet(11)
    gx0, gy0, gx1, gy1 = Z.rect(AMP_GRILLE)
    image[gy0:gy1, gx0:gx1] = grille_cloth(gx1 - gx0, gy1 - gy0, 12)
    recess(image, AMP_GRILLE)
    piping(image, AMP_GRILLE)
    logo(image, LOGO_BOX)
    plate(image, AMP_PANEL)

    labels_baseline = 256
    # Toggles: name above, position words on their left (lever up is the first word).
    for name, title, up_word, down_word in (('power', 'POWER', 'ON', 'OFF'),
                                            ('page', 'PAGE', 'FX', 'AMP'),
                                            ('bank', 'BANK', 'B', 'A')):
        _, x, y, _, _ = AMP_CONTROLS[name]
        label(image, title, x + 13, labels_baseline)
        label(image, up_word, x - 1, y + 10, SMALL_WORD_SIZE, CREAM_DIM, 'right', FONT_NARROW, 0.3)
        label(image, down_word, x - 1, y + 35, SMALL_WORD_SIZE, CREAM_DIM, 'right', FONT_NARROW, 0.3)
    # Amplifier menu: the plate, an arrow beside it and its name below.
    _, mx, my, _, _ = AMP_CONTROLS['amplifier']
    window_frame(image, (mx, my, mx + 111, my + 16), MENU_PLATE, margin=1)
    image[d(my):d(my + 16), d(mx):d(mx + 111)] = menu_plate()
    xx, yy = pixel_grid(image.shape[1], image.shape[0])
    ax, ay = mx + 111 + 8, my + 8
    arrow = coverage(np.maximum(yy - v(ay + 2.5), np.abs(xx - v(ax)) - (v(ay + 2.5) - yy) * 0.75))
    arrow *= yy > v(ay - 2.5)
    paint(image, arrow, CREAM)
    label(image, 'AMPLIFIER', mx + 55.5, my + 28)
    # The seven amp knobs: names above, ivory readout windows below.
    for name, left in zip(AMP_KNOB_NAMES, READOUT_LEFTS):
        _, x, y, _, _ = AMP_CONTROLS[name]
        label(image, name.upper(), x + 33.5, labels_baseline)
        window_frame(image, (left, READOUT_TOP, left + READOUT_WIDTH, READOUT_BOTTOM),
                     READOUT_WINDOW, radius=1.0, margin=1)
    # Input: the switch, two lamps with their words, the jack.
    _, ix, iy, _, _ = AMP_CONTROLS['input_indicator']
    _, sx, sy, _, _ = AMP_CONTROLS['input']
    label(image, 'INPUT', ix + 66, labels_baseline)
    lamp_x = sx + 32 + 9
    for slot, (word, level) in enumerate((('LOW', 0), ('HIGH', 1))):
        lamp_y = sy + 13 + slot * 48
        led(image, v(lamp_x), v(lamp_y), v(3.0), LED_RED_ON, LED_RED_OFF, input_lamp == level,
            bezel=v(1.2), halo=v(4.0))
        label(image, word, lamp_x + 8, lamp_y + 3.5, WORD_SIZE, CREAM_DIM, 'left', FONT_NARROW, 0.5)
    jack_x, jack_y = ix + 106, sy + 37
    chrome_nut(image, v(jack_x), v(jack_y), v(10.5))
    paint(image, disc(xx, yy, v(jack_x), v(jack_y), v(3.4)), (4, 4, 4))
    label(image, 'GUITAR', jack_x, jack_y + 24, WORD_SIZE, CREAM_DIM, 'center', FONT_NARROW, 0.5)
    # Maker's mark at the panel's lower right corner.
    label(image, 'KORVALEX  \u00b7  ZARELWORKS', AMP_PANEL[2] - 12, AMP_PANEL[3] - 8,
          WORD_SIZE, CREAM_DIM, 'right', FONT_NARROW, 1.5)
    return image


FX_RULES_Y = (142, 214, 288)
FX_LOGO_BOX = (40, 44, 360, 124)  # the effects page's header: the script name and the page's purpose
FX_DIVIDERS = ((372, 30, 138), (690, 30, 138), (444, 218, 284), (274, 292, 370), (526, 292, 370))


def fx_page():
    image = cabinet(21)
    plate(image, FX_PANEL)
    x0, _, x1, _ = FX_PANEL
    for y in FX_RULES_Y:
        engraved_rule(image, x0 + 14, x1 - 14, y=y)
    for x, y0, y1 in FX_DIVIDERS:
        engraved_rule(image, None, None, x=x, y0=y0, y1=y1)

    def at(name):
        _, x, y, _, _ = FX_CONTROLS[name]
        return x, y

    def knob_label(name, text):
        x, y = at(name)
        label(image, text, x + 19.5, y + 47, KNOB_LABEL_SIZE)

    def title(text, x, baseline):
        label(image, text, x, baseline, TITLE_SIZE, CREAM, 'left', FONT_LABEL, 1.5)

    def on_label(name, baseline):
        x, _ = at(name)
        label(image, 'ON', x + 16, baseline, KNOB_LABEL_SIZE)

    def two_way(name, up_word, down_word):
        x, y = at(name)
        label(image, up_word, x + 12, y - 3, SMALL_WORD_SIZE, CREAM_DIM, 'center', FONT_NARROW, 0.5)
        label(image, down_word, x + 12, y + 28, SMALL_WORD_SIZE, CREAM_DIM, 'center', FONT_NARROW, 0.5)

    # Header: the script name and the page's purpose.
    v = Z.v
    small_logo = FX_LOGO_BOX
    face = font(FONT_LOGO, Z.font(40))
    h, w = image.shape[:2]
    script = text_mask(w, h, 'Korvalex', face, v(small_logo[0] + 4), v(86), 'left')
    drop_shadow(image, script, v(1.5), v(2.0), v(1.2), 0.8)
    xx, yy = pixel_grid(w, h)
    t = np.clip((yy - v(58)) / v(30.0), 0, 1)
    paint(image, script, mix(LOGO_TOP, LOGO_MID, t))
    label(image, 'EFFECTS  SECTION', small_logo[0] + 6, 108, 9, CREAM_DIM, 'left', FONT_LABEL, 2.5)
    label(image, 'ZARELWORKS', small_logo[0] + 6, 122, 8, CREAM_DIM, 'left', FONT_NARROW, 2.0)

    # Space: width display, width knob, lamp and button.
    title('SPACE', 390, 84)
    dx, dy = at('space_display')
    window_frame(image, (dx, dy, dx + 130, dy + 10), WINDOW_BLACK, margin=2)
    label(image, 'NARROW', dx, dy + 22, WORD_SIZE, CREAM_DIM, 'left', FONT_NARROW, 0.5)
    label(image, 'WIDE', dx + 130, dy + 22, WORD_SIZE, CREAM_DIM, 'right', FONT_NARROW, 0.5)
    knob_label('space_width', 'WIDTH')
    lx, ly = at('space_lamp')
    window_frame(image, (lx, ly, lx + 10, ly + 25), WINDOW_BLACK, radius=2.0, margin=1)
    bx, by = at('space_on')
    label(image, 'ON', bx + 14, by + 24, KNOB_LABEL_SIZE)

    # Page toggle back to the amp page.
    px, py = at('page')
    label(image, 'FX', px + 13, py - 4, WORD_SIZE, CREAM_DIM, 'center', FONT_NARROW, 0.5)
    label(image, 'AMP', px + 13, py + 48, WORD_SIZE, CREAM_DIM, 'center', FONT_NARROW, 0.5)
    label(image, 'PAGE', px - 8, py + 23, 9, CREAM, 'right')

    # Parametric equaliser.
    title('PARAMETRIC EQ', 98, 156)
    on_label('eq_on', 208)
    for band, text in (('low', 'LOW'), ('mid', 'MID'), ('hi', 'HIGH')):
        gx, _ = at(band + '_gain')
        label(image, text, gx + 19.5 + 60, 156, 9, CREAM_DIM)
        for part in ('gain', 'freq', 'band'):
            knob_label(band + '_' + part, part.upper())
    knob_label('eq_gain', 'LEVEL')

    # Compressor and gate.
    title('COMPRESSOR', 98, 226)
    on_label('comp_on', 283)
    two_way('comp_prepost', 'POST', 'PRE')
    for part, text in (('attack', 'ATTACK'), ('release', 'RELEASE'), ('threshold', 'THRESH'),
                       ('ratio', 'RATIO'), ('makeup', 'MAKEUP')):
        knob_label('comp_' + part, text)
    mx, my = at('comp_meter')
    window_frame(image, (mx, my, mx + 4, my + 44), WINDOW_BLACK, radius=0.5, margin=2)
    image[Z.d(my):Z.d(my + 44), Z.d(mx):Z.d(mx + 4)] = meter_column(True)
    label(image, 'GR', mx + 2, my - 5, KNOB_LABEL_SIZE)
    title('NOISE GATE', 457, 226)
    on_label('gate_on', 283)
    two_way('gate_prepost', 'POST', 'PRE')
    for part, text in (('attack', 'ATTACK'), ('release', 'RELEASE'), ('threshold', 'THRESH'),
                       ('hold', 'HOLD'), ('range', 'RANGE')):
        knob_label('gate_' + part, text)
    gx, gy = at('gate_lamp')
    window_frame(image, (gx, gy, gx + 10, gy + 30), WINDOW_BLACK, radius=2.0, margin=2)
    label(image, 'OPEN', gx + 5, gy - 4, WORD_SIZE, CREAM_DIM, 'center', FONT_NARROW, 0.5)

    # Tremolo, chorus/phaser, delay.
    title('TREMOLO', 98, 300)
    on_label('tremolo_on', 358)
    two_way('center_pan', 'PAN', 'CENTER')
    knob_label('tremolo_speed', 'SPEED')
    knob_label('tremolo_depth', 'DEPTH')
    title('CHORUS / PHASER', 288, 300)
    on_label('chorus_on', 358)
    two_way('chorus_phaser', 'PHASER', 'CHORUS')
    for part in ('speed', 'depth', 'mix'):
        knob_label('chorus_' + part, part.upper())
    title('DELAY', 539, 300)
    on_label('delay_on', 358)
    for part, text in (('time', 'TIME'), ('sustain', 'FEEDBACK'), ('width', 'WIDTH'), ('mix', 'MIX')):
        knob_label('delay_' + part, text)
    return image


# --------------------------------------------------------------------------------------
# Splash picture and the spare side trim


def splash():
    v = Z.v
    image = cabinet(31)
    opening = (40, 40, PAGE_W - 40, PAGE_H - 40)
    x0, y0, x1, y1 = Z.rect(opening)
    image[y0:y1, x0:x1] = grille_cloth(x1 - x0, y1 - y0, 32) * 0.55
    recess(image, opening, depth=10.0)
    piping(image, opening)
    xx, yy = pixel_grid(image.shape[1], image.shape[0])
    glow = np.exp(-(((xx - v(PAGE_W / 2)) / v(300.0)) ** 2 + ((yy - v(170)) / v(110.0)) ** 2))
    image += (glow * 26.0)[..., None] * np.asarray((1.0, 0.75, 0.5))
    logo(image, (250, 100, 649, 200), script_size=82, maker_size=14)
    label(image, 'GUITAR  AMPLIFIER  SIMULATOR', PAGE_W / 2, 236, 12, CREAM, tracking=2.0)
    label(image, 'Version 1.0', PAGE_W / 2, 262, 12, CREAM_DIM, path=FONT_TEXT, tracking=0.5)
    rule = stroke(xx, yy, v(PAGE_W / 2 - 120), v(280.5), v(PAGE_W / 2 + 120), v(280.5), v(1.0))
    paint(image, rule, LOGO_MID, 0.8)
    label(image, 'Designed and built by Zarelworks', PAGE_W / 2, 304, 11, CREAM,
          path=FONT_TEXT, tracking=0.3)
    label(image, 'Amplifier models, cabinets, effects and artwork: the Zarelworks team',
          PAGE_W / 2, 322, 10, CREAM_DIM, path=FONT_TEXT, tracking=0.2)
    label(image, 'Click anywhere to close', PAGE_W / 2, 362, 9, CREAM_DIM, path=FONT_TEXT)
    return image


def side_trim():
    """17 x 366: a strip of tolex with a silver piping line down its middle."""
    v = Z.v
    image = tolex(Z.cell(17), Z.cell(366), 41)
    xx, yy = pixel_grid(Z.cell(17), Z.cell(366))
    bead = stroke(xx, yy, v(8.5), v(3), v(8.5), v(363), v(3.0))
    drop_shadow(image, bead, v(1.0), v(1.0), v(1.0), 0.6)
    paint(image, bead, mix(PIPING, np.asarray(PIPING) * 0.45, np.clip((xx - v(7)) / v(3.0), 0, 1)))
    return image


# --------------------------------------------------------------------------------------
# All bitmaps


def cut(image, rect):
    x0, y0, x1, y1 = rect
    return image[y0:y1, x0:x1]


def build_bitmaps():
    """Every bitmap at the scale as a list of its images, each a (height, width) array of
    5-6-5 pixels."""
    amp = to_565(amp_page())
    fx = to_565(fx_page())
    _, ix, iy, _, _ = AMP_CONTROLS['input_indicator']
    left, top = Z.d(ix), Z.d(iy)
    indicator = [cut(to_565(amp_page(input_lamp=level)), (left, top, left + Z.cell(152), top + Z.cell(95)))
                 for level in (0, 1)]
    frames = {
        10005: [splash()],
        10100: [meter_column(False)],
        10101: [meter_column(True)],
        10130: [big_toggle(False), big_toggle(True)],
        10131: knob_strip(SMALL_KNOB, SMALL_KNOB_IMAGES),
        10132: knob_strip(LARGE_KNOB, LARGE_KNOB_IMAGES),
        10133: [section_switch(False), section_switch(True)],
        10134: [side_trim()],
        10135: [space_display(k) for k in range(7)],
        10136: [mini_toggle(False), mini_toggle(True)],
        10137: [gate_lamp(s) for s in range(3)],
        10138: [menu_plate()],
        10139: [input_toggle(True), input_toggle(False)],
        10141: [space_button(False), space_button(True)],
        10142: [jewel_lamp(10, 25, False), jewel_lamp(10, 25, True)],
    }
    bitmaps = {bid: [to_565(f) for f in images] for bid, images in frames.items()}
    # The menu plate's shading is dithered in its own coordinates: the page takes its pixels.
    _, mx, my, _, _ = AMP_CONTROLS['amplifier']
    plate_pixels = bitmaps[10138][0]
    amp[Z.d(my):Z.d(my) + plate_pixels.shape[0], Z.d(mx):Z.d(mx) + plate_pixels.shape[1]] = plate_pixels
    bitmaps[10128] = [amp]
    bitmaps[10129] = [fx]
    bitmaps[10140] = indicator
    for bid, (w, h, n) in BITMAPS.items():
        assert len(bitmaps[bid]) == max(n, 1), bid
        for img in bitmaps[bid]:
            assert img.shape == (Z.cell(h // n), Z.cell(w)), (bid, img.shape)
    return bitmaps


def bitmap_file(bid, percent):
    """A bitmap's file under resources/: the design size beside the lists, the others in a
    folder named after their scale."""
    return '%d.bmp' % bid if percent == 100 else '%d/%d.bmp' % (percent, bid)


def resource_script():
    lines = ['// Generated by tools/artwork/generate_artwork.py: do not edit.',
             '// The front panel\'s bitmaps under their resource identifiers; the pictures drawn',
             '// for a larger scale are named ZOOM<percent>_<identifier>.']
    for percent in SCALES:
        for bid in sorted(BITMAPS):
            name = str(bid) if percent == 100 else 'ZOOM%d_%d' % (percent, bid)
            lines.append('%s BITMAP "%s"' % (name, bitmap_file(bid, percent)))
    return '\n'.join(lines) + '\n'


def bitmap_list():
    lines = ['// Generated by tools/artwork/generate_artwork.py: do not edit.',
             '// KORVALEX_BITMAP(identifier, scale in percent, file name under resources/), by',
             '// scale, then in identifier order.']
    for percent in SCALES:
        lines += ['KORVALEX_BITMAP(%d, %d, "%s")' % (bid, percent, bitmap_file(bid, percent))
                  for bid in sorted(BITMAPS)]
    return '\n'.join(lines) + '\n'


def write_bitmaps(bitmaps, out, percent):
    for bid, images in bitmaps.items():
        path = os.path.join(out, bitmap_file(bid, percent))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(bmp_bytes(np.vstack(images)))


def write_lists(out):
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, 'korvalex.rc'), 'w') as f:
        f.write(resource_script())
    with open(os.path.join(out, 'BitmapList.inc'), 'w') as f:
        f.write(bitmap_list())


def output_names(percents):
    return [bitmap_file(bid, p) for p in percents for bid in sorted(BITMAPS)] + ['korvalex.rc', 'BitmapList.inc']


# --------------------------------------------------------------------------------------
# Review sheet


def image_index(rule, value, images):
    if rule == 'knob':
        return int(np.float32(value) * (images - 1)) if value < 1 else images - 1
    if rule == 'onoff':
        return 0 if value == 0 else 1
    return int((images - 1) * value + 0.5)


def compose(page, controls, bitmaps):
    """The page with every control drawn over it as the editor draws it."""
    image = page.copy()
    for bid, x, y, rule, value in controls.values():
        images = bitmaps[bid]
        if rule == 'meter':
            frame = images[0].copy()
            lit_from = int(int(METER_LEDS * (1 - value) + 0.5) / METER_LEDS * 44)
            frame[:lit_from] = bitmaps[10100][0][:lit_from]
        elif rule == 'menu':
            frame = images[0]
        else:
            frame = images[image_index(rule, value, len(images))]
        h, w = frame.shape
        image[y:y + h, x:x + w] = frame
    return image


def readout_texts(image):
    """Draws the amp knobs' readouts as the editor does (9 px, dark grey, centred)."""
    face = font(FONT_TEXT, 9)
    canvas = Image.fromarray(image)
    draw = ImageDraw.Draw(canvas)
    for name, left in zip(AMP_KNOB_NAMES, READOUT_LEFTS):
        value = np.float32(AMP_CONTROLS[name][4])
        text = '%.2d' % int(float(value) * 100)
        draw.text((left + READOUT_WIDTH / 2.0, READOUT_BOTTOM - 1), text, font=face,
                  fill=(50, 50, 50), anchor='ms')
    _, mx, my, _, value = AMP_CONTROLS['amplifier']
    entry = AMPLIFIER_ENTRIES[int(np.float32(value) * np.float32(19))]
    draw.text((mx + 55.5, my + 12), entry, font=font(FONT_TEXT, 10), fill=(0, 0, 0), anchor='ms')
    return np.asarray(canvas)


def contact_sheet(bitmaps, path):
    pad = 12
    amp = readout_texts(from_565(compose(bitmaps[10128][0], AMP_CONTROLS, bitmaps)))
    fx = from_565(compose(bitmaps[10129][0], FX_CONTROLS, bitmaps))
    strips = []
    for bid in sorted(BITMAPS):
        w, h, n = BITMAPS[bid]
        if bid in (10005, 10128, 10129):
            continue
        images = bitmaps[bid]
        if h > 300:                       # the tall spare trim lies on its side
            images = [img.T for img in images]
        picks = sorted(set([0, (len(images) - 1) // 4, (len(images) - 1) // 2,
                            3 * (len(images) - 1) // 4, len(images) - 1]))
        strips.append((bid, [from_565(images[i]) for i in picks]))
    sheet_w = PAGE_W + 2 * pad
    sheet = Image.new('RGB', (sheet_w, 2 * (PAGE_H + pad) + pad), (90, 90, 90))
    sheet.paste(Image.fromarray(amp), (pad, pad))
    sheet.paste(Image.fromarray(fx), (pad, PAGE_H + 2 * pad))
    # Film strips below, wrapped in rows.
    x, y = pad, 2 * (PAGE_H + pad) + pad
    tiles = []
    for bid, frames in strips:
        width = max(sum(f.shape[1] + 4 for f in frames), 36) + 8
        tiles.append((bid, frames, width))
    rows, row, used = [], [], 0
    for tile in tiles:
        if used + tile[2] > sheet_w - 2 * pad and row:
            rows.append(row)
            row, used = [], 0
        row.append(tile)
        used += tile[2]
    rows.append(row)
    heights = [max(max(f.shape[0] for f in t[1]) for t in r) + 22 for r in rows]
    full = Image.new('RGB', (sheet_w, sheet.height + sum(heights) + pad), (90, 90, 90))
    full.paste(sheet, (0, 0))
    draw = ImageDraw.Draw(full)
    for r, height in zip(rows, heights):
        x = pad
        for bid, frames, width in r:
            draw.text((x, y), str(bid), font=font(FONT_TEXT, 10), fill=(230, 230, 230))
            fx_ = x
            for f in frames:
                full.paste(Image.fromarray(f), (fx_, y + 14))
                fx_ += f.shape[1] + 4
            x += width
        y += height
    full.save(path)


# --------------------------------------------------------------------------------------
# Korvalex Live's application icon: a small combo amplifier (the grille cloth with a brass
# script K, the control plate with a large knob and a lit jewel) on a rounded tile of
# tolex, drawn at 256 pixels and reduced for the smaller sizes. resources/icons/ holds
# one RGBA PNG per size.

ICON_DRAWN = 256
ICON_SIZES = (48, 128, 256)
ICON_GRILLE = (30, 30, 226, 138)
ICON_PLATE = (28, 150, 228, 228)


def icon_letter(image, cx, baseline, size):
    """The script K of the logo: brass and chrome on its dark outline and shadow."""
    h, w = image.shape[:2]
    letter = text_mask(w, h, 'K', font(FONT_LOGO, size), cx, baseline)
    outline = np.clip(blur(letter, 1.6) * 3.0, 0, 1)
    drop_shadow(image, outline, 4.0, 5.0, 3.0, 0.85)
    paint(image, outline, (28, 20, 14))
    _, yy = pixel_grid(w, h)
    t = np.clip((yy - (baseline - size * 0.72)) / (size * 0.80), 0, 1)
    fill = np.where((t < 0.55)[..., None], mix(LOGO_TOP, LOGO_MID, t / 0.55),
                    mix((150, 112, 52), LOGO_LOW, (t - 0.55) / 0.45))
    paint(image, letter, fill)
    paint(image, np.clip(letter - shift(letter, 2, 2), 0, 1), (255, 255, 250), 0.7)


def icon_drawing():
    """The icon at ICON_DRAWN pixels: float RGB and its coverage (the rounded tile)."""
    n = ICON_DRAWN
    image = tolex(n, n, 29)
    x0, y0, x1, y1 = ICON_GRILLE
    image[y0:y1, x0:x1] = grille_cloth(x1 - x0, y1 - y0, 31)
    recess(image, ICON_GRILLE)
    piping(image, ICON_GRILLE, radius=8.0)
    icon_letter(image, (x0 + x1) / 2.0, y1 - 20, 110)
    plate(image, ICON_PLATE)
    size = LARGE_KNOB['size']
    left, top = 128 - size // 2, (ICON_PLATE[1] + ICON_PLATE[3]) // 2 - size // 2
    image[top:top + size, left:left + size] = knob_frame(scaled_knob(LARGE_KNOB), knob_angle(7, 10))
    led(image, 62, (ICON_PLATE[1] + ICON_PLATE[3]) / 2.0, 8.0, LED_RED_ON, LED_RED_OFF, True,
        bezel=3.0, halo=5.0)
    xx, yy = pixel_grid(n, n)
    return image, box(xx, yy, 6, 6, n - 6, n - 6, 44)


def icon_images():
    """{file name: RGBA picture} for every icon size."""
    rgb, alpha = icon_drawing()
    rgba = np.dstack([np.clip(rgb, 0, 255), alpha * 255.0])
    drawn = Image.fromarray(np.round(rgba).astype(np.uint8), 'RGBA').convert('RGBa')
    return {'korvalex-live-%d.png' % size:
            drawn.resize((size, size), Image.LANCZOS).convert('RGBA') for size in ICON_SIZES}


def write_icons(out):
    os.makedirs(os.path.join(out, 'icons'), exist_ok=True)
    for name, picture in icon_images().items():
        picture.save(os.path.join(out, 'icons', name))


def check_icons(committed):
    """Names the committed icons that differ from the generator's (pixels and size)."""
    differing = []
    for name, picture in icon_images().items():
        path = os.path.join(committed, 'icons', name)
        if not os.path.exists(path):
            differing.append('missing: ' + path)
            continue
        with Image.open(path) as stored:
            if stored.mode != 'RGBA' or stored.size != picture.size or \
                    stored.tobytes() != picture.tobytes():
                differing.append('differs from the generator\'s output: ' + path)
    for line in differing:
        print(line)
    return 1 if differing else 0


# --------------------------------------------------------------------------------------


def check(percents, committed):
    """Generates the scales into a temporary folder and lists what differs from `committed`."""
    with tempfile.TemporaryDirectory() as tmp:
        for percent in percents:
            set_scale(percent)
            write_bitmaps(build_bitmaps(), tmp, percent)
        write_lists(tmp)
        differing = []
        for name in output_names(percents):
            path = os.path.join(committed, name)
            if not os.path.exists(path):
                differing.append('missing: ' + path)
            elif not filecmp.cmp(os.path.join(tmp, name), path, shallow=False):
                differing.append('differs from the generator\'s output: ' + path)
    for line in differing:
        print(line)
    return 1 if differing else 0


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--out', default=DEFAULT_OUT, help='output folder (default: resources/)')
    parser.add_argument('--scale', type=int, choices=SCALES,
                        help='draw this scale only, in percent (default: every scale)')
    parser.add_argument('--check', action='store_true',
                        help='compare a fresh generation with the files in the output folder')
    parser.add_argument('--contact-sheet', metavar='PNG', help='also write a review sheet of the 100 %% bitmaps')
    args = parser.parse_args(argv)
    percents = [args.scale] if args.scale else list(SCALES)
    if args.check:
        failed = check(percents, args.out)
        if 100 in percents:
            set_scale(100)
            failed |= check_icons(args.out)
        return failed
    for percent in percents:
        set_scale(percent)
        bitmaps = build_bitmaps()
        if percent == 100:
            if args.contact_sheet:
                contact_sheet(bitmaps, args.contact_sheet)
            write_icons(args.out)
        write_bitmaps(bitmaps, args.out, percent)
    write_lists(args.out)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
