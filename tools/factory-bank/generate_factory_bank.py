#!/usr/bin/env python3
"""Generates plugin/FactoryBank.cpp, the 82 factory programs of Korvalex.

Each program is written below as the differences from a base program that holds, in
every column, the value most programs share. The script checks the bank's rules (value
grid, switch values, the most common value of every column and how many programs hold
it) and refuses to write the file when one fails.

The programs are balanced by ear and by tests/loudness (BS.1770 loudness of a fixed DI
through every program): the designed programs lie within 12 LU of each other and each
family (clean, crunch, lead, by name) within 6 LU. Volume may differ from 0.5 in only 18
programs, so levels are mostly set with the other controls: Makeup Gain on compressed
cleans (16 programs may leave 0.5), the input shaper (Input HiLow 0, about +3 dB on a
clean sound) and the tone controls. Crunch programs use Drive 0.25 to 0.3, so that
picking 12 dB softer takes them down by 5 LU or more, and the twenty gates sit on the
programs with the most Drive.

    python3 tools/factory-bank/generate_factory_bank.py            # writes the .cpp
    python3 tools/factory-bank/generate_factory_bank.py --report   # counts per column
"""

import argparse
import collections
import os
import sys

# Parameter keys in index order 0..51.
KEYS = [
    "power", "bank", "hilow", "volume", "presence", "treble", "middle", "bass",
    "reverb", "drive", "amp",
    "trem", "pan", "trem_speed", "trem_depth",
    "chorus", "phaser", "chorus_speed", "chorus_depth", "chorus_mix",
    "delay", "delay_speed", "delay_sustain", "delay_width", "delay_mix",
    "comp", "comp_post", "comp_attack", "comp_release", "comp_threshold", "comp_ratio",
    "makeup",
    "gate", "gate_post", "gate_attack", "gate_release", "gate_threshold", "gate_hold",
    "gate_range",
    "space", "space_width",
    "peq", "low_gain", "low_freq", "low_band", "mid_gain", "mid_freq", "mid_band",
    "hi_gain", "hi_freq", "hi_band", "eq_gain",
]
assert len(KEYS) == 52
INDEX = {key: i for i, key in enumerate(KEYS)}

SWITCHES = {"power", "bank", "hilow", "trem", "pan", "chorus", "phaser", "delay", "comp",
            "comp_post", "gate", "gate_post", "space", "peq"}

# Amplifier positions: family 0..5 (Classic, Modern, Combo, Tweed, Super, Rectified) times
# three voicings A (no notch), B (1500 Hz notch), C (500 Hz notch).
CLASSIC_A, CLASSIC_B, CLASSIC_C = 0, 1, 2
MODERN_A, MODERN_B, MODERN_C = 3, 4, 5
COMBO_A, COMBO_B, COMBO_C = 6, 7, 8
TWEED_A, TWEED_B, TWEED_C = 9, 10, 11
SUPER_A, SUPER_B, SUPER_C = 12, 13, 14
RECT_A, RECT_B, RECT_C = 15, 16, 17

# The most common value of each column and the number of programs holding it.
MODES = {
    "power": (1, 82), "bank": (0, 48), "hilow": (1, 47), "volume": (0.5, 64),
    "presence": (0.5, 10), "treble": (0.78, 10), "middle": (0.5, 22), "bass": (0.5, 17),
    "reverb": (0, 76), "drive": (0, 23), "amp": (TWEED_B, 10),
    "trem": (0, 73), "pan": (0, 74), "trem_speed": (0.2, 69), "trem_depth": (0.5, 71),
    "chorus": (0, 53), "phaser": (0, 63), "chorus_speed": (0.1, 55),
    "chorus_depth": (0.5, 53), "chorus_mix": (0.2, 46),
    "delay": (0, 41), "delay_speed": (0.2, 64), "delay_sustain": (0.4, 56),
    "delay_width": (1, 74), "delay_mix": (0.3, 54),
    "comp": (0, 51), "comp_post": (0, 81), "comp_attack": (0, 80), "comp_release": (0.1, 68),
    "comp_threshold": (0.5, 57), "comp_ratio": (0.2, 66), "makeup": (0.5, 66),
    "gate": (0, 62), "gate_post": (0, 82), "gate_attack": (0, 81), "gate_release": (0.1, 71),
    "gate_threshold": (0.5, 64), "gate_hold": (0, 80), "gate_range": (0.5, 67),
    "space": (0, 68), "space_width": (0.5, 65),
    "peq": (0, 51), "low_gain": (0.5, 55), "low_freq": (0.5, 59), "low_band": (0.5, 62),
    "mid_gain": (0.5, 52), "mid_freq": (0.5, 56), "mid_band": (0.5, 65),
    "hi_gain": (0.5, 57), "hi_freq": (0.5, 60), "hi_band": (0.5, 76), "eq_gain": (0.5, 76),
}
# Columns whose most common value is allowed to tie with another value.
TIES_ALLOWED = {"delay"}

BASE = {key: value for key, (value, _) in MODES.items()}

PROGRAMS = []


def program(name, like=None, **changes):
    """Adds a program: the base (or an earlier program) with the given changes."""
    unknown = set(changes) - set(KEYS)
    if unknown:
        raise KeyError(f"{name}: unknown keys {sorted(unknown)}")
    start = dict(BASE) if like is None else dict(next(v for n, v in PROGRAMS if n == like))
    start.update(changes)
    PROGRAMS.append((name, start))


# Section settings. Each returns the parameter values of one section of the panel; a
# program is the base with the sections it changes (a key given twice is an error).
def amp(bank, hilow, volume, presence, treble, middle, bass, drive, position):
    """bank 0 short voicing response, 1 full cabinet; hilow 0 engages the input shaper."""
    return dict(bank=bank, hilow=hilow, volume=volume, presence=presence, treble=treble,
                middle=middle, bass=bass, drive=drive, amp=position)


def chorus(speed, depth, mix):
    return dict(chorus=1, phaser=0, chorus_speed=speed, chorus_depth=depth, chorus_mix=mix)


def phaser(speed, feedback, mix):
    return dict(chorus=1, phaser=1, chorus_speed=speed, chorus_depth=feedback, chorus_mix=mix)


def tremolo(speed, depth):
    return dict(trem=1, pan=0, trem_speed=speed, trem_depth=depth)


def autopan(speed, depth):
    return dict(trem=1, pan=1, trem_speed=speed, trem_depth=depth)


def delay(speed, sustain, width, mix):
    return dict(delay=1, delay_speed=speed, delay_sustain=sustain, delay_width=width,
                delay_mix=mix)


def comp(attack, release, threshold, ratio, makeup):
    return dict(comp=1, comp_attack=attack, comp_release=release, comp_threshold=threshold,
                comp_ratio=ratio, makeup=makeup)


def gate(attack, release, threshold, hold, floor):
    return dict(gate=1, gate_attack=attack, gate_release=release, gate_threshold=threshold,
                gate_hold=hold, gate_range=floor)


def space(width):
    return dict(space=1, space_width=width)


def eq(low, mid, hi, gain=0.5):
    """Three (gain, frequency, bandwidth) bands and the output gain; 0.5 is flat."""
    return dict(peq=1, low_gain=low[0], low_freq=low[1], low_band=low[2], mid_gain=mid[0],
                mid_freq=mid[1], mid_band=mid[2], hi_gain=hi[0], hi_freq=hi[1], hi_band=hi[2],
                eq_gain=gain)


# --- The basic set: clean and lead sounds per amplifier with only the effects they name. ---
program("Basic Classic Clean", **amp(0, 1, 0.5, 0.7, 0.89, 0.38, 0.7, 0, CLASSIC_B))
program("Basic Classic Clean Chorus", like="Basic Classic Clean", **chorus(0.1, 0.6, 0.35))
program("Basic Classic Lead", **amp(0, 1, 0.5, 0.35, 0.55, 0.5, 0.55, 0.75, CLASSIC_A))
program("Basic Classic Lead Dly", like="Basic Classic Lead", **delay(0.38, 0.35, 1, 0.28))
program("Basic Combo Crunchy", **amp(0, 1, 0.5, 0.52, 0.72, 0.5, 0.52, 0.25, COMBO_A))
program("Basic Combo Lead", **amp(0, 1, 0.5, 0.4, 0.6, 0.6, 0.45, 0.72, COMBO_A))
program("Basic Combo Lead Dly", like="Basic Combo Lead", **delay(0.42, 0.4, 1, 0.25))
program("Basic Combo Phaser", **amp(0, 1, 0.5, 0.5, 0.7, 0.5, 0.55, 0, COMBO_B),
        **phaser(0.22, 0.6, 0.6))
program("Basic Modern Clean", **amp(0, 0, 0.5, 0.65, 0.82, 0.6, 0.6, 0, MODERN_B))
program("Basic Modern Lead", **amp(1, 1, 0.5, 0.5, 0.78, 0.4, 0.65, 0.85, MODERN_A),
        **gate(0, 0.2, 0.6, 0, 0.5))
program("Basic Modern Lead Dly", like="Basic Modern Lead", **delay(0.45, 0.45, 1, 0.26))
program("Basic Modern Tremolo", **amp(0, 0, 0.6, 0.6, 0.75, 0.7, 0.6, 0, MODERN_B),
        **tremolo(0.45, 0.7))
program("Basic Rectified CrunchComp", **amp(0, 0, 0.5, 0.48, 0.7, 0.5, 0.6, 0.3, RECT_A),
        **comp(0, 0.2, 0.3, 0.4, 0.5))
program("Basic Rectified Lead", **amp(1, 0, 0.55, 0.55, 0.74, 0.35, 0.7, 0.9, RECT_B),
        **gate(0, 0.1, 0.62, 0, 0.8))
program("Basic Rectified Lead Dly", like="Basic Rectified Lead", **delay(0.4, 0.38, 1, 0.25))
program("Basic Rectified Phazer", **amp(1, 0, 0.5, 0.5, 0.72, 0.42, 0.62, 0.7, RECT_C),
        **phaser(0.3, 0.55, 0.7))
program("Basic Super Clean Imager", **amp(1, 0, 0.5, 0.72, 0.85, 0.75, 0.58, 0, SUPER_A),
        **space(0.7))
program("Basic Super Clean ImgComp", like="Basic Super Clean Imager",
        hilow=1, **comp(0, 0.1, 0.55, 0.3, 0.6))
program("Basic Super Lead", **amp(0, 0, 0.5, 0.58, 0.8, 0.55, 0.5, 0.78, SUPER_B))
program("Basic Super Lead Dly", like="Basic Super Lead", **delay(0.36, 0.42, 1, 0.28))
program("Basic Tweed Clean", **amp(0, 0, 0.5, 0.6, 0.78, 0.5, 0.52, 0, TWEED_B))
program("Basic Tweed Clean Chorus", like="Basic Tweed Clean", **chorus(0.12, 0.55, 0.3))
program("Basic Tweed CleanComp", like="Basic Tweed Clean", hilow=1, **comp(0, 0.15, 0.55, 0.3, 0.58))
program("Basic Tweed Lead", **amp(0, 1, 0.5, 0.52, 0.76, 0.65, 0.48, 0.7, TWEED_B))
program("Basic Tweed Lead Dly", like="Basic Tweed Lead", **delay(0.4, 0.35, 1, 0.27))

# --- The named sounds. ---
program("Bluesy crunch", **amp(0, 0, 0.5, 0.45, 0.68, 0.62, 0.48, 0.25, TWEED_B),
        **eq((0.45, 0.5, 0.4), (0.62, 0.3, 0.4), (0.5, 0.5, 0.5)))
program("Classic Lead Delay", **amp(1, 1, 0.5, 0.57, 0.8, 0.6, 0.55, 0.8, CLASSIC_C),
        **delay(0.5, 0.45, 1, 0.3), **comp(0, 0.3, 0.6, 0.2, 0.5))
program("Clean 2x12 Chorus", **amp(1, 1, 0.5, 0.62, 0.84, 0.6, 0.6, 0, COMBO_B),
        **chorus(0.18, 0.7, 0.4), **delay(0.2, 0.4, 0.7, 0.22), **comp(0, 0.2, 0.55, 0.3, 0.77),
        **space(0.6))
program("Clean Chorus 1", **amp(0, 1, 0.5, 0.66, 0.86, 0.45, 0.55, 0, COMBO_A),
        **chorus(0.08, 0.65, 0.45), **comp(0, 0.25, 0.6, 0.3, 0.55))
program("Clean Chorus 2", **amp(0, 1, 0.55, 0.7, 0.9, 0.4, 0.62, 0, SUPER_A),
        **chorus(0.25, 0.8, 0.5), reverb=0.25, **delay(0.2, 0.3, 1, 0.3),
        **comp(0, 0.1, 0.55, 0.2, 0.66), **space(0.65))
program("Clean Imager Phaser", **amp(0, 0, 0.8, 0.63, 0.83, 0.85, 0.5, 0, SUPER_C),
        **phaser(0.14, 0.45, 0.55), **space(0.8), pan=1)
program("Clean Pan Chorus", **amp(0, 1, 0.5, 0.64, 0.82, 0.46, 0.56, 0, TWEED_A),
        **chorus(0.2, 0.6, 0.4), **autopan(0.3, 0.8), **delay(0.2, 0.4, 1, 0.25),
        **comp(0, 0.1, 0.6, 0.2, 0.63))
program("Combo Edge", **amp(0, 1, 0.5, 0.45, 0.65, 0.55, 0.45, 0.3, COMBO_C),
        **phaser(0.05, 0.4, 0.35),
        **eq((0.5, 0.5, 0.5), (0.56, 0.6, 0.5), (0.62, 0.3, 0.4)))
program("Combo Heavy Chorus", **amp(1, 0, 0.5, 0.55, 0.74, 0.45, 0.65, 0.8, COMBO_B),
        **gate(0, 0.1, 0.55, 0, 0.7), **chorus(0.16, 0.7, 0.45), **delay(0.2, 0.4, 1, 0.22),
        **eq((0.56, 0.2, 0.6), (0.45, 0.25, 0.5), (0.55, 0.4, 0.5)))
program("Combo Heavy Rhythm", **amp(1, 0, 0.5, 0.57, 0.7, 0.4, 0.68, 0.82, COMBO_C),
        **gate(0, 0.1, 0.58, 0, 0.8),
        **eq((0.62, 0.15, 0.6), (0.38, 0.3, 0.7), (0.6, 0.35, 0.5)))
program("Combo Lead 1", **amp(0, 1, 0.5, 0.4, 0.6, 0.6, 0.52, 0.7, COMBO_A), phaser=1,
        chorus_mix=0.4, **delay(0.38, 0.4, 1, 0.25))
program("Combo Lead 2", **amp(1, 1, 0.5, 0.64, 0.82, 0.66, 0.45, 0.8, COMBO_B), chorus_mix=0.25,
        **eq((0.45, 0.5, 0.5), (0.62, 0.35, 0.6), (0.5, 0.5, 0.5), 0.55))
program("Combo Lead Delay", **amp(1, 0, 0.5, 0.52, 0.76, 0.58, 0.5, 0.75, COMBO_C),
        **delay(0.48, 0.5, 0.8, 0.32), **comp(0, 0.4, 0.6, 0.3, 0.5))
program("Crunch Tremolo", **amp(0, 1, 0.5, 0.5, 0.85, 0.7, 0.53, 0.25, CLASSIC_B),
        **tremolo(0.55, 0.6))
program("Crunchy", **amp(0, 1, 0.35, 0.56, 0.74, 0.6, 0.47, 0.3, CLASSIC_A), phaser=1,
        chorus_mix=0.3)
program("Crunchy Chorus Swells", **amp(0, 0, 1, 0.5, 0.7, 0.7, 0.55, 0.25, SUPER_B),
        **chorus(0.06, 0.9, 0.5), **delay(0.55, 0.55, 1, 0.35), **comp(0, 0.6, 0.3, 0.2, 0.5),
        **space(0.75))
program("Crunchy Funky", **amp(0, 1, 0.35, 0.68, 0.88, 0.56, 0.4, 0.25, COMBO_C),
        **phaser(0.35, 0.45, 0.5), **comp(0.1, 0.1, 0.3, 0.5, 0.5),
        **eq((0.4, 0.3, 0.45), (0.58, 0.45, 0.6), (0.62, 0.45, 0.5)))
program("Crunchy Verby Tremolo", **amp(0, 0, 0.5, 0.48, 0.72, 0.52, 0.5, 0.25, TWEED_C),
        reverb=0.35, **tremolo(0.4, 0.55))
program("Dark Lead Delay", **amp(1, 0, 0.55, 0.2, 0.45, 0.6, 0.62, 0.76, MODERN_C),
        **delay(0.52, 0.48, 1, 0.3), **comp(0, 0.35, 0.6, 0.2, 0.5),
        **eq((0.55, 0.25, 0.6), (0.58, 0.2, 0.5), (0.3, 0.35, 0.5)))
program("Driven", **amp(1, 0, 0.5, 0.53, 0.76, 0.52, 0.55, 0.65, CLASSIC_C), phaser=1, chorus_mix=0.5,
        **eq((0.55, 0.3, 0.5), (0.5, 0.5, 0.5), (0.5, 0.5, 0.5)))
program("Edgy 'Verb", **amp(0, 1, 0.5, 0.55, 0.72, 0.5, 0.45, 0.3, COMBO_B), reverb=0.4,
        **eq((0.42, 0.5, 0.4), (0.6, 0.55, 0.4), (0.6, 0.4, 0.5)))
program("Fast Middy Chorus", **amp(0, 0, 0.5, 0.58, 0.78, 0.8, 0.45, 0.25, MODERN_B),
        **chorus(0.6, 0.4, 0.4), **delay(0.2, 0.4, 1, 0.2), **comp(0, 0.1, 0.55, 0.2, 0.5),
        **eq((0.45, 0.5, 0.5), (0.72, 0.35, 0.8), (0.5, 0.5, 0.5), 0.6))
program("Fuzz", **amp(1, 0, 0.5, 0.21, 0.71, 0, 0.5, 0.81, TWEED_B), trem_speed=0.61,
        trem_depth=0.41, phaser=1, chorus_speed=0.06, chorus_depth=0.36, chorus_mix=0.97,
        delay_sustain=0.32, delay_mix=0.15, comp_release=0.96, comp_threshold=0.8,
        comp_ratio=0.38, makeup=0.54, **gate(0, 0.3, 0.68, 0, 1), space_width=1,
        **eq((0.8, 0.94, 0.97), (0.44, 0.12, 0.5), (0.66, 0.33, 0.5)))
program("Grind", **amp(1, 0, 0.45, 0.45, 0.68, 0.35, 0.75, 0.9, RECT_B),
        **gate(0, 0.15, 0.65, 0, 0.9), **phaser(0.04, 0.7, 0.3),
        **eq((0.65, 0.12, 0.6), (0.4, 0.2, 0.6), (0.58, 0.3, 0.5)))
program("Heavy Chorus", **amp(1, 0, 0.5, 0.5, 0.72, 0.42, 0.7, 0.85, RECT_C),
        **gate(0, 0.2, 0.6, 0, 0.7), **chorus(0.14, 0.75, 0.45), **delay(0.2, 0.4, 1, 0.24),
        **space(0.6), **eq((0.58, 0.2, 0.5), (0.44, 0.3, 0.5), (0.56, 0.35, 0.5)))
program("Heavy Modern Phaser", **amp(1, 0, 0.5, 0.52, 0.74, 0.38, 0.72, 0.88, MODERN_C),
        **gate(0, 0.25, 0.62, 0, 0.75), **phaser(0.08, 0.7, 0.6), **delay(0.2, 0.35, 1, 0.26),
        **eq((0.6, 0.18, 0.7), (0.4, 0.28, 0.6), (0.6, 0.3, 0.5), 0.45))
program("Heavy Tweed Imager", **amp(0, 1, 0.5, 0.47, 0.7, 0.45, 0.65, 0.8, TWEED_C),
        **gate(0, 0.1, 0.55, 0, 0.6), **space(0.8),
        **eq((0.6, 0.22, 0.5), (0.45, 0.35, 0.5), (0.55, 0.45, 0.6)))
program("Lead 2x12 Tweed", **amp(1, 1, 0.5, 0.59, 0.73, 0.6, 0.5, 0.72, TWEED_B),
        **delay(0.2, 0.4, 0.6, 0.3), **eq((0.5, 0.5, 0.5), (0.6, 0.4, 0.5), (0.45, 0.6, 0.5)))
program("Lead Chorus Imager", **amp(1, 0, 0.5, 0.56, 0.8, 0.58, 0.5, 0.74, SUPER_C),
        **chorus(0.12, 0.6, 0.3), **delay(0.2, 0.4, 1, 0.28), **comp(0, 0.3, 0.6, 0.2, 0.5),
        **space(0.7), pan=1, trem_speed=0.3)
program("Loop", **amp(0, 1, 0.5, 0.42, 0.68, 0.5, 0.5, 0, TWEED_A), **phaser(0.03, 0.6, 0.4),
        **delay(0.7, 0.75, 1, 0.4), **comp(0, 0.5, 0.65, 0.3, 0.63), **space(0.9), pan=1, trem_speed=0.1,
        trem_depth=0.7)
program("Modern Heavy Rhythm", **amp(1, 0, 0.45, 0.56, 0.72, 0.3, 0.75, 0.86, MODERN_C),
        **gate(0.01, 0.05, 0.66, 0.05, 1),
        **eq((0.64, 0.14, 0.6), (0.32, 0.25, 0.7), (0.62, 0.32, 0.5)))
program("Modern Lead 1", **amp(1, 1, 0.5, 0.54, 0.78, 0.55, 0.6, 0.82, MODERN_A),
        **gate(0, 0.1, 0.56, 0, 0.5), **delay(0.2, 0.45, 1, 0.3), **comp(0, 0.1, 0.5, 0.2, 0.5),
        **eq((0.5, 0.2, 0.5), (0.58, 0.5, 0.5), (0.5, 0.5, 0.5)))
program("Modern Lead 2", **amp(1, 1, 0.5, 0.5, 0.8, 0.6, 0.62, 0.9, MODERN_B),
        **gate(0, 0.1, 0.6, 0, 0.7), **delay(0.2, 0.5, 1, 0.33),
        **eq((0.56, 0.22, 0.6), (0.62, 0.42, 0.6), (0.54, 0.4, 0.5)))
program("Pandemonium", **amp(1, 1, 0.7, 0.5, 0.5, 0.5, 0.5, 0.71, RECT_A),
        **autopan(0.64, 0.69), **phaser(0, 1, 0.97), **delay(0.22, 0.32, 1, 0.63),
        **comp(0, 0.96, 0.8, 0.38, 0.54), gate_threshold=0.49, gate_range=1, space_width=1,
        low_gain=0.77, low_freq=0.43, low_band=0.77, mid_gain=0.33, mid_freq=0.77,
        mid_band=0.77, hi_gain=0.71, hi_freq=0.57)
program("Phaser Clean", **amp(0, 1, 0.5, 0.62, 0.82, 0.5, 0.55, 0, MODERN_A),
        **phaser(0.15, 0.5, 0.5), **comp(0, 0.1, 0.55, 0.25, 0.57))
program("Phaser Funk", **amp(0, 1, 0.5, 0.68, 0.9, 0.55, 0.45, 0, COMBO_A),
        **phaser(0.4, 0.6, 0.6), **comp(0.08, 0.1, 0.65, 0.45, 0.52),
        **eq((0.4, 0.35, 0.6), (0.56, 0.5, 0.5), (0.6, 0.5, 0.4), 0.55))
program("Phaser Wash", **amp(0, 1, 0.5, 0.4, 0.81, 0.5, 0.55, 0, TWEED_C),
        **phaser(0.06, 0.8, 0.7), reverb=0.5, **delay(0.2, 0.6, 1, 0.35),
        **comp(0, 0.1, 0.5, 0.2, 0.56), **space(0.85), pan=1, trem_speed=0.12)
program("Phaser's Edge", **amp(0, 1, 0.5, 0.6, 0.78, 0.5, 0.5, 0.35, CLASSIC_B),
        **phaser(0.2, 0.65, 0.5), **eq((0.5, 0.5, 0.5), (0.5, 0.5, 0.5), (0.58, 0.35, 0.5)))
program("Phasey Auto-Pan", **amp(0, 1, 0.5, 0.66, 0.83, 0.5, 0.5, 0, MODERN_C),
        **phaser(0.1, 0.6, 0.5), **autopan(0.25, 0.9), **delay(0.2, 0.4, 1, 0.3),
        **comp(0, 0.1, 0.5, 0.2, 0.66))
program("Phone", **amp(0, 0, 0.5, 0, 0.87, 0.9, 0, 0.5, CLASSIC_C), **chorus(0.12, 0.13, 0.21),
        delay_sustain=0.12, delay_width=0.02, **comp(0, 0.1, 0.5, 0.2, 0.5),
        **eq((0, 0.2, 1), (0.79, 0.41, 0.76), (0, 0.6, 1)))
program("Rectified Lead 1", **amp(1, 1, 0.5, 0.5, 0.74, 0.45, 0.68, 0.85, RECT_A),
        **gate(0, 0.2, 0.6, 0, 0.8), **delay(0.2, 0.4, 1, 0.3),
        **eq((0.6, 0.2, 0.6), (0.56, 0.38, 0.6), (0.55, 0.45, 0.5)))
program("Rectified Lead 2", **amp(1, 1, 0.5, 0.55, 0.76, 0.5, 0.7, 0.92, RECT_B),
        **gate(0, 0.15, 0.64, 0, 0.85), **delay(0.2, 0.4, 1, 0.27),
        **eq((0.58, 0.16, 0.7), (0.62, 0.4, 0.6), (0.54, 0.5, 0.5)))
program("Rectified Lead 3", **amp(1, 1, 0.45, 0.58, 0.79, 0.55, 0.72, 0.95, RECT_C),
        **gate(0, 0.3, 0.68, 0.04, 0.9), **delay(0.2, 0.45, 1, 0.3),
        **eq((0.62, 0.18, 0.6), (0.6, 0.45, 0.7), (0.58, 0.42, 0.6), 0.55))
program("Rectified Lead Delay", **amp(1, 1, 0.5, 0.52, 0.75, 0.5, 0.66, 0.88, RECT_A), chorus_mix=0.35,
        **gate(0, 0.1, 0.5, 0, 0.5), **delay(0.5, 0.55, 1, 0.3),
        **eq((0.55, 0.2, 0.5), (0.58, 0.5, 0.5), (0.5, 0.5, 0.5)))
program("Run Delay", **amp(0, 0, 1, 0.51, 0.77, 0.75, 0.5, 0.3, SUPER_B),
        **chorus(0.1, 0.4, 0.25), **delay(0.3, 0.55, 1, 0.3), **comp(0, 0.2, 0.6, 0.2, 0.52),
        **space(0.65))
program("Slapback", **amp(0, 1, 0.65, 0.64, 0.82, 0.5, 0.46, 0.25, TWEED_A),
        **delay(0.08, 0.1, 0.5, 0.35), **comp(0, 0.1, 0.55, 0.3, 0.5))
program("Solo Drive", **amp(1, 1, 0.5, 0.55, 0.79, 0.62, 0.55, 0.8, MODERN_A),
        **gate(0, 0.4, 0.5, 0, 0.5), **delay(0.2, 0.35, 1, 0.32), **comp(0, 0.45, 0.65, 0.35, 0.5),
        **eq((0.5, 0.5, 0.5), (0.64, 0.4, 0.6), (0.56, 0.45, 0.5)))
program("Squashed Classic", **amp(0, 1, 0.45, 0.55, 0.71, 0.55, 0.5, 0.3, CLASSIC_A),
        **comp(0, 0.1, 0.8, 0.8, 0.62), comp_post=1,
        **eq((0.45, 0.3, 0.6), (0.56, 0.4, 0.5), (0.58, 0.5, 0.5), 0.45))
program("Super Lead 1", **amp(0, 0, 0.5, 0.55, 0.78, 0.55, 0.55, 0.75, SUPER_A), space_width=0.7,
        **delay(0.2, 0.4, 1, 0.3), **comp(0, 0.1, 0.5, 0.2, 0.5))
program("Super Lead 2", **amp(1, 0, 0.5, 0.58, 0.8, 0.6, 0.5, 0.8, SUPER_B), chorus_mix=0.3,
        **delay(0.2, 0.4, 0.75, 0.3), **eq((0.55, 0.25, 0.55), (0.6, 0.35, 0.5), (0.5, 0.5, 0.5)))
program("Super Lead 3", **amp(1, 1, 0.5, 0.61, 0.82, 0.5, 0.6, 0.88, SUPER_C),
        **gate(0, 0.1, 0.5, 0, 0.5), **delay(0.2, 0.45, 1, 0.25),
        **eq((0.6, 0.2, 0.6), (0.45, 0.3, 0.6), (0.6, 0.4, 0.5)))
program("Super Lead Imager", **amp(1, 0, 0.5, 0.56, 0.81, 0.56, 0.55, 0.78, SUPER_C),
        **delay(0.2, 0.4, 1, 0.3), **comp(0, 0.1, 0.55, 0.2, 0.5), **space(0.7))
program("Super Rich", **amp(0, 1, 0.7, 0.62, 0.84, 0.5, 0.6, 0, SUPER_A),
        **chorus(0.12, 0.7, 0.4), **autopan(0.15, 0.6), reverb=0.3, **delay(0.2, 0.3, 1, 0.36),
        **comp(0, 0.1, 0.5, 0.2, 0.68), **space(0.7),
        **eq((0.45, 0.5, 0.5), (0.45, 0.5, 0.5), (0.62, 0.55, 0.7)))
program("Tremdelay Phasy", **amp(0, 0, 0.5, 0.58, 0.75, 0.5, 0.55, 0, TWEED_C),
        **phaser(0.12, 0.55, 0.45), **tremolo(0.5, 0.6), **delay(0.35, 0.4, 0.8, 0.34))
program("Tremoluxe", **amp(0, 0, 0.6, 0.6, 0.73, 0.7, 0.55, 0, TWEED_B),
        **tremolo(0.35, 0.75), reverb=0.3)
program("Tweed Echo", **amp(0, 0, 0.5, 0.46, 0.76, 0.5, 0.5, 0.3, TWEED_A),
        **delay(0.45, 0.5, 0.5, 0.38), **comp(0, 0.1, 0.5, 0.2, 0.5))
program("Tweed Lead", **amp(1, 1, 0.5, 0.55, 0.78, 0.62, 0.5, 0.75, TWEED_B),
        **delay(0.2, 0.4, 1, 0.3), **comp(0, 0.1, 0.6, 0.25, 0.5))


# --------------------------------------------------------------------------------------
def hundredths(name, key, value):
    """The value as an integer number of hundredths; fails if it is off that grid."""
    n = round(value * 100)
    if abs(n - value * 100) > 1e-9 or not 0 <= n <= 100:
        raise ValueError(f"{name}: {key} = {value} is not a multiple of 0.01 in 0..1")
    return n


def column_counts():
    """For each column, a Counter of its values (amplifier positions, else hundredths)."""
    counts = {key: collections.Counter() for key in KEYS}
    for name, values in PROGRAMS:
        for key in KEYS:
            v = values[key]
            counts[key][v if key == "amp" else hundredths(name, key, v)] += 1
    return counts


def check():
    errors = []
    if len(PROGRAMS) != 82:
        errors.append(f"{len(PROGRAMS)} programs, not 82")
    for name, values in PROGRAMS:
        if len(name) > 27 or not name.isascii() or '"' in name or "\\" in name:
            errors.append(f"{name}: not a plain name of at most 27 characters")
        for key in SWITCHES:
            if values[key] not in (0, 1):
                errors.append(f"{name}: switch {key} = {values[key]}")
        if values["amp"] not in range(18):
            errors.append(f"{name}: amplifier position {values['amp']}")
    counts = column_counts()
    for key in KEYS:
        mode, expected = MODES[key]
        target = mode if key == "amp" else round(mode * 100)
        have = counts[key][target]
        rivals = [(v, c) for v, c in counts[key].items() if v != target
                  and (c > expected or (c == expected and key not in TIES_ALLOWED))]
        if have != expected or rivals:
            errors.append(f"{key}: {mode} in {have} programs (want {expected}), rivals {rivals}")
    return errors


def report():
    counts = column_counts()
    for key in KEYS:
        mode, expected = MODES[key]
        target = mode if key == "amp" else round(mode * 100)
        others = counts[key].most_common(3)
        print(f"{INDEX[key]:2d} {key:15s} mode {mode} have {counts[key][target]:2d} "
              f"want {expected:2d}  top {others}")


def literal(key, value):
    if key == "amp":
        return f"{value} / 19.0f"
    n = round(value * 100)
    if n == 100:
        return "1.0f"
    text = f"0.{n:02d}".rstrip("0")
    return text + ("0f" if text.endswith(".") else "f")


PARAMETER_NAMES = [
    "Power", "Bank A/B", "Input HiLow", "Volume", "Presence", "Treble", "Middle", "Bass",
    "Reverb", "Drive", "Amplifier", "Tremolo Bypass", "Center-Pan", "Tremolo Speed",
    "Tremolo Depth", "Chorus Bypass", "Chorus/Phaser", "Chorus Speed", "Chorus Depth",
    "Chorus Mix", "Delay Bypass", "Delay Speed", "Delay Sustain", "Delay Width", "Delay Mix",
    "Comp Bypass", "PrePost Comp", "Comp Attack", "Comp Release", "Comp Threshold",
    "Comp Ratio", "Makeup Gain", "Gate Bypass", "PrePost Gate", "Gate Attack", "Gate Release",
    "Gate Threshold", "Gate Hold", "Gate Range", "Space Bypass", "Space Width", "PEQ Bypass",
    "Low Gain", "Low Freq", "Low Band", "Mid Gain", "Mid Freq", "Mid Band", "Hi Gain",
    "Hi Freq", "Hi Band", "EQ Gain",
]


def render():
    """The .cpp text: one row per program, values aligned in columns by parameter index."""
    wrapped, line = [], "//  "
    for i, n in enumerate(PARAMETER_NAMES):
        entry = f" {i} {n}" + ("," if i + 1 < len(PARAMETER_NAMES) else "")
        if len(line) + len(entry) > 92:
            wrapped.append(line)
            line = "//  "
        line += entry
    wrapped.append(line)

    names = [f'"{n}",' for n, _ in PROGRAMS]
    cells = [[literal(key, v[key]) + "," for key in KEYS] for _, v in PROGRAMS]
    cells = [row[:-1] + [row[-1][:-1]] for row in cells]  # no comma after the last value
    widths = [max(len(row[c]) for row in cells) for c in range(len(KEYS))]
    name_width = max(len(n) for n in names)
    prefix = " " * len("    /* nn */ {") + " " * name_width + " {"
    header = "".join(str(c).ljust(widths[c] + 1) for c in range(len(KEYS)))

    lines = [
        "// Generated by tools/factory-bank/generate_factory_bank.py: edit the programs there",
        "// and run it again rather than editing this file.",
        "//",
        "// The 82 factory programs: the name and the normalized values of parameters 0..51, one",
        "// row per program. The Amplifier column holds menu position / 19. Columns:",
        *wrapped,
        "",
        '#include "plugin/FactoryBank.h"',
        "",
        "// clang-format off",
        "const FactoryProgram kFactoryBank[kNumPrograms] = {",
        ("//" + " " * (len(prefix) - 2) + header).rstrip(),
    ]
    for number, (name, row) in enumerate(zip(names, cells)):
        values = " ".join(cell.ljust(widths[c]) for c, cell in enumerate(row)).rstrip()
        lines.append(f"    /* {number:2d} */ {{{name.ljust(name_width)} {{{values}}}}},")
    lines.append("};")
    lines.append("// clang-format on")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--report", action="store_true", help="print column counts only")
    here = os.path.dirname(os.path.abspath(__file__))
    default_out = os.path.join(here, "..", "..", "plugin", "FactoryBank.cpp")
    parser.add_argument("--output", default=os.path.normpath(default_out))
    args = parser.parse_args()
    if args.report:
        report()
    errors = check()
    for e in errors:
        print("error:", e, file=sys.stderr)
    if errors:
        return 1
    if not args.report:
        with open(args.output, "w", encoding="ascii", newline="\n") as f:
            f.write(render())
        print(f"wrote {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
