#!/usr/bin/env python3
"""Generates dsp/CabinetResponses.cpp: the twelve impulse responses of the cabinet stage.

    python3 tools/cabinet-responses/generate_cabinet_responses.py [--report] [OUTPUT]

OUTPUT defaults to dsp/CabinetResponses.cpp next to this folder's repository root.
--report prints each response's level at a set of frequencies (dB relative to its
loudest point) instead of only checking it. Only the Python standard library is used;
the run is deterministic, so the checked-in table can be reproduced bit for bit.

All responses are for 44100 Hz. Every response is pinned down by a few fixed values: its
length, the position and value of its largest tap, the sum of its taps (the gain at 0 Hz)
and its first three taps. Each one is designed as a filter first and then moved onto those
values by the smallest change in a weighted spectral sense (a weighted least-squares
problem with the fixed values as equality constraints), with the weights chosen so that
the change lands where the ear minds it least.

Bank A (0..5): short voicing filters of 41 to 48 taps, about one millisecond, which shape
the tone broadly (a millisecond cannot hold detail below about 1 kHz), each a compact
speaker voicing with its top rolled off. A response's largest tap can be no larger than
the mean of its magnitude over 0..22 kHz, so the fixed largest tap of 0, 2 and 3 (0.56 to
0.59, against a gain of 1 or 1.94 at 0 Hz) asks for mids well above 0 Hz where the top is
rolled off: those three are speaker curves that rise from 0 Hz into the mids and fall
steeply above 5 kHz, scaled so that their mean magnitude matches the largest tap.
  0  Classic Lead   linear phase, 41 taps: lows 6 dB under 1 kHz (a small closed box),
                    +2.5 dB around 2 kHz, fourth-order roll-off from 5 kHz (-17 dB at
                    8 kHz, -31 dB at 12 kHz against 1 kHz).
  1  Modern Lead    48 taps, main lobe at tap 7 with short pre-ringing: a dark, heavy
                    voicing, lows 9 dB over 1 kHz and 14 dB over 3 kHz, steep fall
                    above 6 kHz.
  2  Combo          linear phase, 41 taps: lows 4 dB under 1 kHz, chime of +2 to +3 dB
                    at 2-4 kHz, roll-off from 5.5 kHz (-12 dB at 8 kHz, -26 at 12 kHz).
  3  Tweed          linear phase, 41 taps, the edge taps of 0 (so the two share their
                    transient): lows within about 1 dB of 1 kHz (the +5.7 dB at 0 Hz that
                    sets it apart from 0), a soft dip at 3 kHz, roll-off from 5 kHz
                    (-16 dB at 8 kHz, -30 at 12 kHz): warm and dark.
  4  Super Lead     47 taps, lobe at 7: +4.5 dB lows, a dip around 1 kHz, presence at
                    4 kHz, fall above 6 kHz.
  5  Rectified Lead response 4's transient with more low end (+8 dB below 300 Hz) and a
                    darker top.
  The symmetric ones are least-squares linear-phase fits to their target curves (the
  speaker curve times a first-order shelf from the 0 Hz gain up to the mid level, the
  mid level solved by bisection so that the curve's mean is the largest tap), moved onto
  the fixed values by a change kept out of the band above 7 kHz. The
  others are the cascade of a short zero-phase presence kernel (peaking section and
  third-order low-pass, delayed by about 7 taps) and a minimum-phase low shelf; the eight
  parameters of each were tuned (once, by a simplex search kept out of this file) so that
  the plain design already lands close to its fixed values.

Bank B (6..11): speaker-cabinet responses of 215 to 316 taps (5 to 7 ms), built like a
close-miked measurement: a minimum-phase loudspeaker response (closed-box second-order
high-pass at 75-110 Hz, a low-mid dip, one or two presence peaks between 1.7 and 4.3 kHz,
a fourth-order low-pass at 4.7-6 kHz followed by a second-order one at 7-8.5 kHz, so the
top falls by 25-40 dB from 5 to 10 kHz), delayed by the microphone distance (the taps
before the arrival carry only a tiny low-frequency lead-in), plus early reflections from
the floor and cabinet panels, each later one weaker and duller (smoothed) than the one
before, plus the decaying ring of the low resonance (a damped 90-180 Hz sinusoid from the
arrival on), all under a raised-cosine fade over the last 50-60 taps. The ring's
amplitude and the overall scale are solved exactly from the largest tap and the sum; its
frequency, decay and phase were chosen so that the short window shows a low bump
(about +3 dB around 150-250 Hz against the lowest frequencies, as low as a 5-7 ms
window resolves). The first taps are
then met by a change weighted towards the lowest frequencies (a slow lead-in of a few
ten-thousandths).
  6  Classic Lead 4x12   25-watt-style 4x12, polarity inverted: presence at 2.1 and
                         3.6 kHz, low-mid dip at 500 Hz, fall from 5 kHz.
  7  Modern Lead 4x12    tighter low end (nearly nothing at 0 Hz), scooped 450 Hz,
                         strong 2.8 kHz presence with a cone peak at 4.3 kHz.
  8  Combo 2x12          open back, but a full low end for one (closed-box high-pass
                         at 60 Hz, a strong 100 Hz ring, about -9 dB at 63 Hz against
                         its loudest point), inverted rear-wave reflection, a slight
                         1 kHz dip, presence at 2.4 and 3.9 kHz, top reaching to 6 kHz.
  9  Tweed               open back with a loose, big low end, presence at 1.7 kHz,
                         the darkest top (fall from 4.7 kHz); microphone farther back.
  10 Super Lead 4x12     a close microphone blended with a room microphone 6.3 ms
                         (2.2 m) farther away, mixed hotter and with inverted polarity;
                         the window ends on the room arrival's main lobe, so that arrival
                         is stored in its time-reversed (maximum-phase) form, which has
                         the same magnitude response and stays smooth up to the last tap.
                         Because that lobe must end at the window's edge its top falls
                         less steeply than the others (about -12 dB at 6 kHz, -20 dB at
                         10 kHz, -30 dB at 18 kHz), and the blend combs the lows.
  11 Rectified Lead 4x12 response 7's speaker and first taps with a heavier, more
                         resonant low end (a thump around 150-250 Hz) and deeper mids.
"""

import cmath
import math
import os
import struct
import sys

FS = 44100.0


# ---------------------------------------------------------------- numeric helpers

def fft(a, inverse=False):
    """Radix-2 complex FFT; the inverse is normalized by 1/n."""
    a = list(a)
    n = len(a)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            a[i], a[j] = a[j], a[i]
    length = 2
    while length <= n:
        step = cmath.exp((2j if inverse else -2j) * math.pi / length)
        half = length // 2
        tw = [1.0 + 0j] * half
        for k in range(1, half):
            tw[k] = tw[k - 1] * step
        for s in range(0, n, length):
            for k in range(half):
                u = a[s + k]
                v = a[s + k + half] * tw[k]
                a[s + k] = u + v
                a[s + k + half] = u - v
        length <<= 1
    if inverse:
        a = [x / n for x in a]
    return a


def min_phase(mag, nfft=8192):
    """Minimum-phase impulse response with magnitude mag(f), by the folded real cepstrum."""
    logm = []
    for k in range(nfft):
        f = (k if k <= nfft // 2 else nfft - k) * FS / nfft
        logm.append(math.log(max(mag(f), 1e-5)))
    c = fft(logm, inverse=True)
    fold = [0j] * nfft
    fold[0] = c[0]
    fold[nfft // 2] = c[nfft // 2]
    for n in range(1, nfft // 2):
        fold[n] = 2 * c[n]
    spectrum = [cmath.exp(v) for v in fft(fold)]
    return [v.real for v in fft(spectrum, inverse=True)]


def response(h, f):
    w = -2j * math.pi * f / FS
    return sum(v * cmath.exp(w * n) for n, v in enumerate(h))


def level_db(h, f):
    return 20 * math.log10(abs(response(h, f)) + 1e-12)


# Analog prototype magnitudes, evaluated at f in Hz.
def highpass2(f, f0, q):
    x = f / f0
    return x * x / math.sqrt((1 - x * x) ** 2 + (x / q) ** 2)


def lowpass2(f, f0, q):
    x = f / f0
    return 1 / math.sqrt((1 - x * x) ** 2 + (x / q) ** 2)


def butterworth_lowpass(f, fc, order):
    return 1 / math.sqrt(1 + (f / fc) ** (2 * order))


def peaking(f, f0, gain_db, q):
    a = 10 ** (gain_db / 40)
    x = f / f0
    num = (1 - x * x) ** 2 + (x * a / q) ** 2
    den = (1 - x * x) ** 2 + (x / (a * q)) ** 2
    return math.sqrt(num / den)


def low_shelf(f, fc, dc_gain):
    """First-order shelf: dc_gain at 0 Hz, 1 at high frequencies."""
    return math.sqrt((f * f + (dc_gain * fc) ** 2) / (f * f + fc * fc))


def cholesky_solve(q_matrix, rhs_list):
    n = len(q_matrix)
    low = [[0.0] * n for _ in range(n)]
    for i in range(n):
        li = low[i]
        qi = q_matrix[i]
        for j in range(i + 1):
            lj = low[j]
            s = qi[j] - sum(li[k] * lj[k] for k in range(j))
            if i == j:
                li[i] = math.sqrt(s)
            else:
                li[j] = s / lj[j]
    out = []
    for b in rhs_list:
        y = [0.0] * n
        for i in range(n):
            li = low[i]
            y[i] = (b[i] - sum(li[k] * y[k] for k in range(i))) / li[i]
        x = [0.0] * n
        for i in reversed(range(n)):
            x[i] = (y[i] - sum(low[k][i] * x[k] for k in range(i + 1, n))) / low[i][i]
        out.append(x)
    return out


def solve_small(a, b):
    """Gauss-Jordan elimination with partial pivoting for a small dense system."""
    n = len(a)
    m = [row[:] + [b[i]] for i, row in enumerate(a)]
    for c in range(n):
        p = max(range(c, n), key=lambda r: abs(m[r][c]))
        m[c], m[p] = m[p], m[c]
        for r in range(n):
            if r != c:
                f = m[r][c] / m[c][c]
                m[r] = [x - f * y for x, y in zip(m[r], m[c])]
    return [m[i][n] / m[i][i] for i in range(n)]


def constrained_adjust(h, weight, constraints, grid=1024):
    """Returns h + d, where d is the change of least weighted spectral energy
    sum_f weight(f) |D(f)|^2 that meets the linear constraints [(row, value)]."""
    n = len(h)
    freqs = [(i + 0.5) * FS / 2 / grid for i in range(grid)]
    ws = [weight(f) for f in freqs]
    q = [sum(w * math.cos(2 * math.pi * f * k / FS) for f, w in zip(freqs, ws)) / grid
         for k in range(n)]
    q_matrix = [[q[abs(i - j)] * (1.0 + (1e-9 if i == j else 0.0)) for j in range(n)]
                for i in range(n)]
    rows = [r for r, _ in constraints]
    z = cholesky_solve(q_matrix, rows)
    gram = [[sum(a * b for a, b in zip(ri, zj)) for zj in z] for ri in rows]
    resid = [v - sum(a * x for a, x in zip(r, h)) for r, v in constraints]
    mu = solve_small(gram, resid)
    return [h[i] + sum(mu[c] * z[c][i] for c in range(len(rows))) for i in range(n)]


def unit(length, index):
    return [1.0 if i == index else 0.0 for i in range(length)]


def fixed_value_constraints(length, table_entry):
    cons = [(unit(length, table_entry["peak_at"]), table_entry["peak"]), ([1.0] * length, table_entry["sum"])]
    cons += [(unit(length, i), v) for i, v in enumerate(table_entry["first"])]
    return cons


# Weights: the linear-phase voicings take their changes evenly across the band; the
# others keep them out of the top octaves; bank B changes are pushed below a few hundred
# hertz.
def weight_flat(f):
    return 1.0


def weight_voicing(f):
    return 1.0 + 100.0 * (f / 6000.0) ** 6


def weight_cabinet(f):
    return 1.0 + (f / 300.0) ** 4


# ---------------------------------------------------------------- bank A

def linear_phase_fit(length, amplitude, grid=4096):
    """Least-squares linear-phase FIR: the centred inverse transform of a zero-phase curve."""
    centre = (length - 1) // 2
    n = 2 * grid
    spectrum = []
    for k in range(n):
        kk = k if k <= grid else n - k
        f = kk * FS / n
        v = amplitude(f) * cmath.exp(-2j * math.pi * f * centre / FS)
        spectrum.append(v if k <= grid else v.conjugate())
    return [v.real for v in fft(spectrum, inverse=True)[:length]]


def symmetric_voicing(table_entry, amplitude, weight=weight_flat):
    length = table_entry["length"]
    base = linear_phase_fit(length, amplitude)
    cons = fixed_value_constraints(length, table_entry)
    # Mirror the edge taps so that the result stays linear-phase.
    cons += [(unit(length, length - 1 - i), v) for i, v in enumerate(table_entry["first"])]
    return constrained_adjust(base, weight, cons)


def kernel_shelf_voicing(table_entry, presence_hz, presence_db, presence_q, lowpass_hz,
                         delay, shelf_hz, shelf_gain):
    """Zero-phase presence kernel (peaking section times third-order low-pass) delayed by
    `delay` taps, in cascade with a minimum-phase low shelf."""
    length = table_entry["length"]
    half = 512
    n = 2 * half
    shelf = fft(min_phase(lambda f: low_shelf(f, shelf_hz, shelf_gain), 4096)[:n])
    bins = []
    for k in range(n):
        kk = k if k <= half else n - k
        f = kk * FS / n
        v = (peaking(f, presence_hz, presence_db, presence_q)
             * butterworth_lowpass(f, lowpass_hz, 3)
             * cmath.exp(-2j * math.pi * f * delay / FS) * shelf[kk])
        bins.append(v if k <= half else v.conjugate())
    base = [v.real for v in fft(bins, inverse=True)[:length]]
    scale = table_entry["peak"] / base[table_entry["peak_at"]]
    base = [x * scale for x in base]
    return constrained_adjust(base, weight_voicing, fixed_value_constraints(length, table_entry))


# ---------------------------------------------------------------- bank B

def raised_cosine_fade(length, fade):
    return [1.0 if i < length - fade
            else 0.5 * (1 + math.cos(math.pi * (i - (length - fade) + 1) / (fade + 1)))
            for i in range(length)]


def smoothed(h):
    """[1/4, 1/2, 1/4] smoothing: a gentle high cut for each later reflection."""
    n = len(h)
    return [0.25 * (h[i - 1] if i > 0 else 0.0) + 0.5 * h[i] + 0.25 * (h[i + 1] if i + 1 < n else 0.0)
            for i in range(n)]


def resonance_ring(length, start, freq, decay_s, phase):
    out = [0.0] * length
    for n in range(start, length):
        t = (n - start) / FS
        out[n] = (math.exp(-t / decay_s) * math.sin(2 * math.pi * freq * t + phase)
                  * (1 - math.exp(-(n - start) / 6.0)))
    return out


def close_miked_cabinet(table_entry, speaker, reflections, ring, fade):
    length = table_entry["length"]
    arrival = min_phase(speaker)[:length]
    lobe = max(range(20), key=lambda n: abs(arrival[n]))
    delay = table_entry["peak_at"] - lobe
    direct = [0.0] * length
    for n in range(length - delay):
        direct[n + delay] += arrival[n]
    echo = arrival
    for offset, gain in reflections:
        echo = smoothed(smoothed(echo))
        for n in range(length - delay - offset):
            direct[n + delay + offset] += gain * echo[n]
    ring_taps = resonance_ring(length, delay, *ring)
    window = raised_cosine_fade(length, fade)
    direct = [x * w for x, w in zip(direct, window)]
    ring_taps = [x * w for x, w in zip(ring_taps, window)]
    p = table_entry["peak_at"]
    scale, ring_gain = solve_small([[direct[p], ring_taps[p]], [sum(direct), sum(ring_taps)]],
                                   [table_entry["peak"], table_entry["sum"]])
    base = [scale * x + ring_gain * r for x, r in zip(direct, ring_taps)]
    return constrained_adjust(base, weight_cabinet, fixed_value_constraints(length, table_entry))


def two_microphone_cabinet(table_entry, close_speaker, far_speaker, reflections, ring):
    length = table_entry["length"]
    p = table_entry["peak_at"]
    close = min_phase(close_speaker)[:length]
    far = min_phase(far_speaker)[:length]
    lobe = max(range(20), key=lambda n: abs(far[n]))
    # Close microphone from tap 0, scaled to its onset (least squares on the first taps).
    first = table_entry["first"]
    c = sum(a * b for a, b in zip(close, first)) / sum(a * a for a in close[:len(first)])
    mix = [c * x for x in close]
    echo = close
    for offset, gain in reflections:
        echo = smoothed(smoothed(echo))
        for n in range(length - offset):
            mix[n + offset] += c * gain * echo[n]
    # Room microphone: time-reversed so that its main lobe lands on the largest tap.
    room = [0.0] * length
    for n in range(length):
        k = p + lobe - n
        if 0 <= k < length:
            room[n] = far[k]
    ring_taps = resonance_ring(length, 0, *ring)
    room_gain, ring_gain = solve_small([[room[p], ring_taps[p]], [sum(room), sum(ring_taps)]],
                                       [table_entry["peak"] - mix[p], table_entry["sum"] - sum(mix)])
    base = [x + room_gain * y + ring_gain * r for x, y, r in zip(mix, room, ring_taps)]
    return constrained_adjust(base, weight_voicing, fixed_value_constraints(length, table_entry))


# ---------------------------------------------------------------- the twelve responses

# Fixed values: length, index and value of the largest tap, sum of taps, first taps.
SPECS = [
    dict(length=41, peak_at=20, peak=0.56243, sum=1.0000, first=[-0.00192, 0.00078, -0.00055]),
    dict(length=48, peak_at=7, peak=0.19900, sum=2.8554, first=[-0.03770, -0.03055, -0.00448]),
    dict(length=41, peak_at=20, peak=0.59421, sum=1.0000, first=[-0.00052, 0.00038, -0.00301]),
    dict(length=41, peak_at=20, peak=0.56243, sum=1.9357, first=[-0.00192, 0.00078, -0.00055]),
    dict(length=47, peak_at=7, peak=0.26000, sum=1.6924, first=[-0.02020, -0.04837, -0.05452]),
    dict(length=48, peak_at=7, peak=0.26000, sum=2.5422, first=[-0.02020, -0.04837, -0.05452]),
    dict(length=316, peak_at=66, peak=-0.17240, sum=-0.4401, first=[0.0, -0.00003, -0.00007]),
    dict(length=216, peak_at=67, peak=0.19607, sum=0.0238, first=[0.0, 0.00002, 0.00005]),
    dict(length=312, peak_at=105, peak=-0.18346, sum=-0.0073, first=[0.00015, 0.00016, 0.00016]),
    dict(length=308, peak_at=137, peak=-0.18346, sum=-0.9678, first=[-0.00025, -0.00028, -0.00031]),
    dict(length=280, peak_at=278, peak=0.23905, sum=-0.1308, first=[-0.00784, -0.03059, -0.05444]),
    dict(length=215, peak_at=67, peak=0.19607, sum=-0.6930, first=[0.0, 0.00002, 0.00005]),
]

NAMES = ["Classic Lead (voicing)", "Modern Lead (voicing)", "Combo (voicing)", "Tweed (voicing)",
         "Super Lead (voicing)", "Rectified Lead (voicing)", "Classic Lead 4x12",
         "Modern Lead 4x12", "Combo 2x12", "Tweed", "Super Lead 4x12", "Rectified Lead 4x12"]


# Level at 8 kHz and at 12 kHz against 1 kHz, in dB: the band each response must lie in.
# Guitar speakers are some 11 to 35 dB down at 8 kHz; the short bank A voicings cannot
# fall as far as the long cabinets, and response 4 keeps its dip at 1 kHz, which its
# 8 kHz level is measured against.
TOP_BANDS = [
    ((-20, -14), (-35, -27)),   # 0
    ((-34, -28), (-29, -21)),   # 1
    ((-16, -10), (-30, -22)),   # 2
    ((-19, -13), (-34, -26)),   # 3
    ((-11, -5), (-23, -15)),   # 4
    ((-21, -15), (-26, -18)),   # 5
    ((-25, -19), (-43, -35)),   # 6
    ((-20, -14), (-40, -32)),   # 7
    ((-19, -13), (-37, -29)),   # 8
    ((-32, -26), (-50, -42)),   # 9
    ((-17, -11), (-25, -17)),   # 10
    ((-18, -12), (-36, -28)),   # 11
]
TOP_BAND_HZ = (8000, 12000)


def speaker_voicing(table_entry, curve, shelf_hz=300):
    """Linear-phase voicing: `curve` (1 at 0 Hz) times a first-order shelf that rises from
    the table's 0 Hz gain to a mid level G, with G chosen so that the curve's mean over
    0..22 kHz equals the largest tap (which, for a linear-phase response, it is)."""
    dc = table_entry["sum"]

    def target(mid_level):
        return lambda f: curve(f) * mid_level * low_shelf(f, shelf_hz, dc / mid_level)

    def mean(t, n=1024):
        return sum(t((i + 0.5) * FS / 2 / n) for i in range(n)) / n

    low, high = 0.5, 6.0
    for _ in range(40):
        mid = (low + high) / 2
        if mean(target(mid)) < table_entry["peak"]:
            low = mid
        else:
            high = mid
    return symmetric_voicing(table_entry, target((low + high) / 2), weight_top)


def weight_top(f):
    return 1.0 + 1000.0 * (f / 7000.0) ** 8


def modern_speaker(f):
    return (highpass2(f, 95, 1.1) * peaking(f, 450, -3, 1.0) * peaking(f, 2800, 6, 1.6)
            * peaking(f, 4300, 4, 3) * butterworth_lowpass(f, 5600, 4) * lowpass2(f, 8000, 0.6))


def design(number):
    s = SPECS[number]
    if number == 0:
        return speaker_voicing(s, lambda f: peaking(f, 2500, 3, 0.9) * butterworth_lowpass(f, 5000, 4))
    if number == 1:
        return kernel_shelf_voicing(s, 1314.1, 11.99, 1.098, 5121.6, 6.336, 404.95, 5.296)
    if number == 2:
        return speaker_voicing(s, lambda f: peaking(f, 900, -3, 0.8) * peaking(f, 3500, 4, 1.2)
                               * butterworth_lowpass(f, 5500, 4))
    if number == 3:
        return speaker_voicing(s, lambda f: peaking(f, 2200, -2, 0.9) * butterworth_lowpass(f, 5000, 4))
    if number == 4:
        return kernel_shelf_voicing(s, 4361.8, 6.79, 1.643, 5118.4, 6.749, 100.14, 5.997)
    if number == 5:
        return kernel_shelf_voicing(s, 2392.9, 3.74, 0.392, 4654.1, 6.943, 279.35, 4.457)
    if number == 6:
        return close_miked_cabinet(
            s, lambda f: (highpass2(f, 85, 1.0) * peaking(f, 500, -2, 1.0) * peaking(f, 2100, 5, 1.3)
                          * peaking(f, 3600, 3, 2.5) * butterworth_lowpass(f, 5000, 4)
                          * lowpass2(f, 7500, 0.6)),
            [(40, 0.175), (105, -0.1), (170, 0.06), (235, -0.035)], (120, 0.002, 1.5), 60)
    if number == 7:
        return close_miked_cabinet(s, modern_speaker, [(30, 0.15), (85, -0.09), (140, 0.05)],
                                   (180, 0.008, -1.5), 50)
    if number == 8:
        return close_miked_cabinet(
            s, lambda f: (highpass2(f, 60, 1.1) * peaking(f, 800, -1, 1) * peaking(f, 2400, 4, 1.4)
                          * peaking(f, 3900, 3, 2.5) * butterworth_lowpass(f, 6000, 4)
                          * lowpass2(f, 8500, 0.6)),
            [(60, -0.175), (130, 0.1), (200, -0.05)], (100, 0.006, -1.5), 60)
    if number == 9:
        return close_miked_cabinet(
            s, lambda f: (highpass2(f, 75, 1.3) * peaking(f, 1700, 4, 1.0) * peaking(f, 3000, 2, 2)
                          * butterworth_lowpass(f, 4700, 4) * lowpass2(f, 7000, 0.6)),
            [(55, -0.15), (120, 0.09)], (120, 0.002, -0.75), 60)
    if number == 10:
        return two_microphone_cabinet(
            s, lambda f: (highpass2(f, 90, 1.1) * peaking(f, 900, 2, 0.9) * peaking(f, 2500, 4, 1.3)
                          * butterworth_lowpass(f, 5300, 4) * lowpass2(f, 7500, 0.6)),
            lambda f: (highpass2(f, 70, 0.9) * peaking(f, 1500, 2, 1.0) * peaking(f, 3000, 3, 1.5)
                       * butterworth_lowpass(f, 4500, 2)),
            [(35, 0.15), (95, -0.09), (160, 0.05)], (180, 0.004, -1.5))
    if number == 11:
        return close_miked_cabinet(s, modern_speaker, [(30, 0.15), (85, -0.09), (140, 0.05)],
                                   (120, 0.004, -0.75), 50)
    raise ValueError(number)


# ---------------------------------------------------------------- checks and output

def to_float32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def check(number, taps):
    s = SPECS[number]
    problems = []
    if len(taps) != s["length"]:
        problems.append("length %d" % len(taps))
    p = max(range(len(taps)), key=lambda n: abs(taps[n]))
    if p != s["peak_at"]:
        problems.append("largest tap at %d" % p)
    if abs(taps[s["peak_at"]] - s["peak"]) > 1e-6:
        problems.append("largest tap %.7f" % taps[s["peak_at"]])
    second = max(abs(x) for i, x in enumerate(taps) if i != s["peak_at"])
    if second > 0.995 * abs(s["peak"]):
        problems.append("runner-up tap too close (%.5f)" % second)
    if abs(sum(taps) - s["sum"]) > 1e-5:
        problems.append("sum %.6f" % sum(taps))
    for i, v in enumerate(s["first"]):
        if abs(taps[i] - v) > 1e-6:
            problems.append("tap %d = %.7f" % (i, taps[i]))
    reference = level_db(taps, 1000)
    for hz, (low, high) in zip(TOP_BAND_HZ, TOP_BANDS[number]):
        level = level_db(taps, hz) - reference
        if not low <= level <= high:
            problems.append("%g Hz at %.1f dB against 1 kHz, outside %g..%g" % (hz, level, low, high))
    if problems:
        raise SystemExit("response %d: %s" % (number, ", ".join(problems)))


REPORT_HZ = [0, 50, 63, 100, 150, 250, 400, 700, 1000, 1500, 2000, 3000, 4000, 5000, 6000, 8000,
             10000, 12000, 14000, 18000]


def report(number, taps):
    levels = [level_db(taps, f) for f in REPORT_HZ]
    top = max(level_db(taps, f) for f in range(0, 22000, 25))
    print("%2d %-24s" % (number, NAMES[number])
          + " ".join("%s:%.1f" % (("%gk" % (f / 1000)) if f >= 1000 else f, v - top)
                     for f, v in zip(REPORT_HZ, levels))
          + "  against 1 kHz: " + " ".join("%gk:%.1f" % (hz / 1000, level_db(taps, hz) - level_db(taps, 1000))
                                           for hz in TOP_BAND_HZ))


def emit(all_taps):
    out = ["// Generated by tools/cabinet-responses/generate_cabinet_responses.py; do not edit.",
           "// The generator's header says how each response was designed.",
           "",
           '#include "dsp/CabinetResponses.h"',
           "",
           "namespace {", ""]
    for number, taps in enumerate(all_taps):
        out.append("// %d: %s" % (number, NAMES[number]))
        out.append("const float kTaps%d[%d] = {" % (number, len(taps)))
        for i in range(0, len(taps), 6):
            out.append("    " + " ".join("%.9gf," % v if v != 0 else "0.0f," for v in taps[i:i + 6]))
        out.append("};")
        out.append("")
    out.append("}  // namespace")
    out.append("")
    out.append("const CabinetResponse kCabinetResponses[kCabinetResponseCount] = {")
    for number, taps in enumerate(all_taps):
        out.append("    {kTaps%d, %d}," % (number, len(taps)))
    out.append("};")
    out.append("")
    return "\n".join(out).replace("e-0", "e-").replace(".0f,", ".0f,")


def main(argv):
    want_report = "--report" in argv
    args = [a for a in argv if a != "--report"]
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    output = args[0] if args else os.path.join(root, "dsp", "CabinetResponses.cpp")
    all_taps = []
    for number in range(len(SPECS)):
        taps = [to_float32(v) for v in design(number)]
        check(number, taps)
        if want_report:
            report(number, taps)
        all_taps.append(taps)
    with open(output, "w") as f:
        f.write(emit(all_taps))
    print("wrote %s" % output)


if __name__ == "__main__":
    main(sys.argv[1:])
