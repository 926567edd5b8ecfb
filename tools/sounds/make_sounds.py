#!/usr/bin/python3
"""Synthesises every Quillfen sound and the music loop, and writes them as Ogg Vorbis.

    python3 tools/sounds/make_sounds.py [REPO_ROOT] [NAME ...]

Writes REPO_ROOT/assets/sounds/NAME.ogg (all sounds when no NAME is given). Needs numpy and
the `oggenc` encoder (Debian: python3-numpy, vorbis-tools). The output is deterministic: every
noise comes from a seeded generator.
"""
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

RATE = 44100
TAU = 2.0 * np.pi


def seconds(n):
    return int(round(n * RATE))


def timeline(duration):
    return np.arange(seconds(duration)) / RATE


def envelope(length, attack, decay):
    """Linear attack, then exponential decay with the given time constant (seconds)."""
    t = np.arange(length) / RATE
    env = np.exp(-np.maximum(t - attack, 0.0) / decay)
    if attack > 0:
        env *= np.minimum(t / attack, 1.0)
    return env


def fade_out(x, duration):
    n = min(len(x), seconds(duration))
    x = x.copy()
    x[-n:] *= np.linspace(1.0, 0.0, n) ** 2
    return x


def lowpass(x, cutoff):
    """One-pole low-pass along the first axis (cutoff in Hz)."""
    a = np.exp(-TAU * cutoff / RATE)
    y = np.empty_like(x)
    acc = np.zeros(x.shape[1:]) if x.ndim > 1 else 0.0
    for i in range(len(x)):
        acc = (1.0 - a) * x[i] + a * acc
        y[i] = acc
    return y


def spectral_noise(length, rng, low, high, tilt=0.0, channels=1):
    """Noise with energy between low and high Hz, 1/f^tilt inside. Periodic in its length,
    so a loop made of it has no seam."""
    freqs = np.fft.rfftfreq(length, 1.0 / RATE)
    shape = ((freqs >= low) & (freqs <= high)).astype(float)
    shape[1:] /= freqs[1:] ** (tilt / 2.0)
    shape[0] = 0.0
    out = []
    for _ in range(channels):
        spectrum = shape * np.exp(1j * rng.uniform(0, TAU, len(freqs)))
        x = np.fft.irfft(spectrum, length)
        out.append(x / np.max(np.abs(x)))
    return out[0] if channels == 1 else np.stack(out, axis=1)


def sweep(length, f0, f1, curve=1.0):
    """Phase of a tone gliding from f0 to f1 Hz over length samples."""
    u = np.linspace(0.0, 1.0, length) ** curve
    f = f0 + (f1 - f0) * u
    return np.cumsum(f) * TAU / RATE


def note_hz(name):
    names = {"C": -9, "D": -7, "E": -5, "F": -4, "G": -2, "A": 0, "B": 2}
    semis = names[name[0]]
    rest = name[1:]
    if rest.startswith("b"):
        semis -= 1
        rest = rest[1:]
    elif rest.startswith("#"):
        semis += 1
        rest = rest[1:]
    octave = int(rest)
    return 440.0 * 2.0 ** ((semis + (octave - 4) * 12) / 12.0)


def normalise(x, peak):
    return x * (peak / np.max(np.abs(x)))


# ---------------------------------------------------------------- effects


def chime():
    """Pollen: two bell strikes a fifth apart (E6 then B6), inharmonic partials ringing out."""
    out = np.zeros(seconds(0.9))
    for start, f in ((0.0, note_hz("E6")), (0.07, note_hz("B6"))):
        n = len(out) - seconds(start)
        t = np.arange(n) / RATE
        tone = np.zeros(n)
        for ratio, amp, decay in ((1.0, 1.0, 0.35), (2.76, 0.45, 0.12), (5.40, 0.25, 0.05), (8.93, 0.1, 0.02)):
            tone += amp * np.sin(TAU * f * ratio * t) * np.exp(-t / decay)
        tone *= np.minimum(t / 0.002, 1.0)
        out[seconds(start):] += tone
    return normalise(fade_out(out, 0.1), 0.8)


def flap():
    """Wing down-stroke: a soft puff of air, low-passed noise swelling and fading in 0.2 s."""
    rng = np.random.default_rng(11)
    n = seconds(0.22)
    x = spectral_noise(n, rng, 80, 1800, tilt=1.0)
    t = np.arange(n) / RATE
    env = np.sin(np.pi * np.minimum(t / 0.22, 1.0)) ** 2 * np.exp(-t / 0.12)
    return normalise(x * env, 0.5)


def splash():
    """Raindrop hit: a bright burst of noise with a few droplet blips gliding upwards."""
    rng = np.random.default_rng(12)
    n = seconds(0.4)
    x = spectral_noise(n, rng, 900, 9000, tilt=0.5) * envelope(n, 0.003, 0.06)
    for start, f in ((0.01, 900), (0.05, 1300), (0.09, 1100), (0.14, 1600)):
        m = seconds(0.06)
        blip = np.sin(sweep(m, f, f * 1.8, 0.5)) * envelope(m, 0.001, 0.015)
        i = seconds(start)
        x[i:i + m] += 0.5 * blip
    return normalise(fade_out(x, 0.05), 0.7)


def hurt():
    """Raindrop hit, the cost of it: a short low 'oof', a square-ish tone falling 220 -> 110 Hz."""
    n = seconds(0.32)
    phase = sweep(n, 220, 110, 0.7)
    tone = np.sin(phase) + 0.35 * np.sin(3 * phase) + 0.15 * np.sin(5 * phase)
    return normalise(tone * envelope(n, 0.01, 0.09), 0.6)


def thud():
    """Knock-back: a body blow, a sine falling 95 -> 40 Hz with a short knock of filtered noise."""
    rng = np.random.default_rng(13)
    n = seconds(0.45)
    body = np.sin(sweep(n, 95, 40, 0.4)) * envelope(n, 0.002, 0.12)
    knock = spectral_noise(n, rng, 150, 1200) * envelope(n, 0.001, 0.015)
    return normalise(fade_out(body + 0.4 * knock, 0.05), 0.9)


def tick():
    """A drop landing near the player: a tiny wet tick, a 40 ms blip falling 2400 -> 1400 Hz."""
    rng = np.random.default_rng(14)
    n = seconds(0.05)
    blip = np.sin(sweep(n, 2400, 1400, 0.5)) * envelope(n, 0.0005, 0.008)
    hiss = spectral_noise(n, rng, 3000, 10000) * envelope(n, 0.0005, 0.004)
    return normalise(blip + 0.3 * hiss, 0.5)


def rain():
    """Rain ambience: 6 s of stereo pink-ish noise with a soft hiss on top. The noise is built
    in the frequency domain, which makes it exactly periodic: the loop has no seam."""
    rng = np.random.default_rng(15)
    n = seconds(6.0)
    bed = spectral_noise(n, rng, 200, 6000, tilt=1.0, channels=2)
    hiss = spectral_noise(n, rng, 4000, 12000, tilt=0.0, channels=2)
    # Slow swells in loudness, also periodic over the loop (whole cycles only).
    t = np.arange(n) / RATE
    swell = 0.85 + 0.15 * np.sin(TAU * t * 2 / 6.0)[:, None] * np.array([1.0, -1.0])
    return normalise((bed + 0.25 * hiss) * swell, 0.6)


def pluck(f, length, decay, bright=1.0):
    t = np.arange(length) / RATE
    x = np.zeros(length)
    for k in range(1, 7):
        x += (bright ** (k - 1)) / k * np.sin(TAU * f * k * t) * np.exp(-t * k / decay)
    return x * np.minimum(t / 0.003, 1.0)


def levelup():
    """Level up: a quick rising arpeggio C5 E5 G5 C6, plucked, the last note held."""
    out = np.zeros(seconds(1.0))
    for i, name in enumerate(("C5", "E5", "G5", "C6")):
        start = seconds(i * 0.08)
        n = len(out) - start
        out[start:] += pluck(note_hz(name), n, 0.35 if i < 3 else 0.7, 0.5)
    return normalise(fade_out(out, 0.15), 0.75)


def died():
    """Game over by death: three falling minor notes (E4 C4 A3) on a dull, slow-decaying tone."""
    out = np.zeros(seconds(1.8))
    for i, (name, hold) in enumerate((("E4", 0.9), ("C4", 0.9), ("A3", 1.4))):
        start = seconds(i * 0.28)
        n = len(out) - start
        t = np.arange(n) / RATE
        f = note_hz(name)
        tone = np.sin(TAU * f * t) + 0.5 * np.sin(TAU * 2 * f * t) + 0.2 * np.sin(TAU * 3 * f * t)
        out[start:] += tone * envelope(n, 0.02, hold * 0.4) * 0.5
    return normalise(fade_out(lowpass(out, 1800), 0.3), 0.75)


def outoftime():
    """Game over by time: four clock ticks speeding up, then a two-note buzzer falling a tritone."""
    rng = np.random.default_rng(16)
    out = np.zeros(seconds(1.6))
    for start in (0.0, 0.22, 0.4, 0.54):
        n = seconds(0.04)
        i = seconds(start)
        out[i:i + n] += spectral_noise(n, rng, 2000, 7000) * envelope(n, 0.0005, 0.006) * 0.7
    for start, name in ((0.7, "C5"), (0.95, "F#4")):
        n = seconds(0.6)
        i = seconds(start)
        t = np.arange(n) / RATE
        f = note_hz(name)
        buzz = np.sign(np.sin(TAU * f * t)) * 0.3 + np.sin(TAU * f * t)
        out[i:i + n] += lowpass(buzz, 2500) * envelope(n, 0.01, 0.18) * 0.5
    return normalise(fade_out(out, 0.2), 0.75)


# ---------------------------------------------------------------- music

BPM = 90
BEAT = 60.0 / BPM
BAR = 4 * BEAT

# One chord per bar: root and the triad's notes (for the pad, voiced around middle C).
CHORDS = [
    ("F", ["F3", "A3", "C4"]), ("D", ["D3", "F3", "A3"]), ("Bb", ["Bb2", "D3", "F3"]), ("C", ["C3", "E3", "G3"]),
    ("F", ["F3", "A3", "C4"]), ("A", ["A2", "C3", "E3"]), ("Bb", ["Bb2", "D3", "F3"]), ("C", ["C3", "E3", "G3"]),
    ("D", ["D3", "F3", "A3"]), ("Bb", ["Bb2", "D3", "F3"]), ("F", ["F3", "A3", "C4"]), ("C", ["C3", "E3", "G3"]),
    ("D", ["D3", "F3", "A3"]), ("Bb", ["Bb2", "D3", "F3"]), ("G", ["G2", "Bb2", "D3"]), ("C", ["C3", "E3", "G3"]),
]

# The tune, bar by bar: (note or None for a rest, beats).
MELODY = [
    [("A4", 1), ("C5", 1), ("F5", 1.5), ("E5", 0.5)],
    [("D5", 2), ("C5", 1), ("A4", 1)],
    [("Bb4", 1), ("D5", 1), ("F5", 1), ("D5", 1)],
    [("C5", 3), (None, 1)],
    [("A4", 1), ("C5", 1), ("F5", 1), ("G5", 1)],
    [("A5", 1.5), ("G5", 0.5), ("E5", 2)],
    [("D5", 1), ("F5", 1), ("E5", 1), ("D5", 1)],
    [("C5", 2), ("E5", 1), ("G5", 1)],
    [("F5", 1.5), ("E5", 0.5), ("D5", 1), ("A4", 1)],
    [("Bb4", 1), ("D5", 1), ("F5", 2)],
    [("A5", 1), ("G5", 1), ("F5", 1), ("C5", 1)],
    [("E5", 2), ("D5", 1), ("C5", 1)],
    [("D5", 1), ("F5", 1), ("A5", 1.5), ("G5", 0.5)],
    [("F5", 1), ("D5", 1), ("Bb4", 2)],
    [("G4", 1), ("Bb4", 1), ("D5", 1), ("E5", 1)],
    [("C5", 2), (None, 2)],
]


def add_wrapped(buffer, start, signal):
    """Mixes signal into the loop buffer from start on; what runs past the end continues at the
    beginning, so note tails and echoes cross the seam as they would in a repeat."""
    n = len(buffer)
    i = start % n
    while len(signal):
        take = min(len(signal), n - i)
        buffer[i:i + take] += signal[:take]
        signal = signal[take:]
        i = 0


def flute(f, length):
    """The melody voice: a soft sine with a little octave and a gentle delayed vibrato."""
    t = np.arange(length) / RATE
    vibrato = 0.004 * np.minimum(t / 0.4, 1.0) * np.sin(TAU * 5.0 * t)
    phase = TAU * f * np.cumsum(1.0 + vibrato) / RATE
    x = np.sin(phase) + 0.18 * np.sin(2 * phase) + 0.06 * np.sin(3 * phase)
    return x


def music():
    """A calm 16-bar tune in F major at 90 beats a minute (42.7 s): flute-like melody, a warm
    pad on the chords, a plucked bass and eighth-note arpeggio, soft kick and shaker, and a
    small room. Everything is mixed into the loop with wrap-around, so the seam is seamless."""
    rng = np.random.default_rng(17)
    length = seconds(len(CHORDS) * BAR)
    left = np.zeros(length)
    right = np.zeros(length)

    def place(start_s, signal, pan):
        # Equal-power pan: -1 left, +1 right.
        a = (pan + 1.0) * np.pi / 4.0
        add_wrapped(left, seconds(start_s), signal * np.cos(a))
        add_wrapped(right, seconds(start_s), signal * np.sin(a))

    for bar, (root, triad) in enumerate(CHORDS):
        t0 = bar * BAR
        # Pad: each chord note as two slightly detuned sines, slow in and out, spread in stereo.
        n = seconds(BAR + 1.2)
        t = np.arange(n) / RATE
        env = np.minimum(t / 0.5, 1.0) * np.clip((BAR + 1.2 - t) / 1.2, 0.0, 1.0) ** 1.5
        for j, name in enumerate(triad):
            f = note_hz(name)
            for detune, pan in ((0.998, -0.6), (1.002, 0.6)):
                tone = np.sin(TAU * f * detune * t) + 0.25 * np.sin(TAU * 2 * f * detune * t)
                place(t0, 0.055 * tone * env, pan * (0.6 + 0.2 * j))
        # Bass: root on beat 1, fifth above on beat 3, plucked.
        rf = note_hz(root + "2")
        for beat, f in ((0, rf), (2, rf * 1.5)):
            place(t0 + beat * BEAT, 0.22 * pluck(f, seconds(2 * BEAT + 0.3), 0.9, 0.35), 0.0)
        # Arpeggio: the triad an octave up in eighths, up and down, panned left.
        order = [0, 1, 2, 1, 0, 1, 2, 1]
        for k, idx in enumerate(order):
            f = 2.0 * note_hz(triad[idx])
            accent = 1.0 if k % 2 == 0 else 0.7
            place(t0 + k * BEAT / 2, 0.06 * accent * pluck(f, seconds(0.6), 0.3, 0.4), -0.45)
        # Soft kick on beats 1 and 3; a shaker on every eighth, the off-beats louder.
        for beat in (0, 2):
            m = seconds(0.25)
            kick = np.sin(sweep(m, 110, 45, 0.3)) * envelope(m, 0.002, 0.06)
            place(t0 + beat * BEAT, 0.28 * kick, 0.0)
        for k in range(8):
            m = seconds(0.05)
            shake = spectral_noise(m, rng, 5000, 12000) * envelope(m, 0.004, 0.012)
            place(t0 + k * BEAT / 2, (0.035 if k % 2 else 0.018) * shake, 0.5)

        # Melody.
        beat = 0.0
        for name, beats in MELODY[bar]:
            if name is not None:
                d = beats * BEAT
                m = seconds(d + 0.35)
                t = np.arange(m) / RATE
                env = np.minimum(t / 0.04, 1.0) * np.exp(-t / (d * 1.5 + 0.3)) * np.clip((d + 0.35 - t) / 0.35, 0, 1)
                place(t0 + beat * BEAT, 0.2 * flute(note_hz(name), m) * env, 0.15)
            beat += beats

    # A small room: circular convolution with a decaying noise impulse, so the reverb tail of
    # the last bar lands on the first one, as it does when the tune repeats.
    ir_len = seconds(1.4)
    ir = np.zeros(length)
    for channel, out in enumerate((left, right)):
        noise = np.random.default_rng(100 + channel).standard_normal(ir_len)
        ir[:] = 0.0
        ir[:ir_len] = noise * np.exp(-np.arange(ir_len) / RATE / 0.35)
        ir[:ir_len] = lowpass(ir[:ir_len], 3500)
        ir *= 0.5 / np.sqrt(np.sum(ir ** 2))
        wet = np.fft.irfft(np.fft.rfft(out) * np.fft.rfft(ir), length)
        out += 0.35 * wet
    stereo = np.stack([left, right], axis=1)
    return normalise(stereo, 0.8)


SOUNDS = {
    "chime": chime, "flap": flap, "splash": splash, "hurt": hurt, "thud": thud, "tick": tick,
    "rain": rain, "levelup": levelup, "died": died, "outoftime": outoftime, "music": music,
}
# Encoder quality per sound (oggenc -q): the music is the big one, kept small.
QUALITY = {"music": "0", "rain": "0"}


def write_ogg(path, samples):
    pcm = np.clip(samples, -1.0, 1.0)
    channels = 1 if pcm.ndim == 1 else pcm.shape[1]
    data = (pcm * 32767.0).round().astype("<i2").tobytes()
    name = os.path.splitext(os.path.basename(path))[0]
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, name + ".wav")
        with wave.open(wav, "wb") as w:
            w.setnchannels(channels)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(data)
        subprocess.run(["oggenc", "-Q", "-q", QUALITY.get(name, "3"), "-o", path, wav], check=True)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    root = os.path.abspath(os.path.join(here, "..", ".."))
    names = []
    for arg in argv:
        if arg in SOUNDS:
            names.append(arg)
        else:
            root = os.path.abspath(arg)
    out_dir = os.path.join(root, "assets", "sounds")
    os.makedirs(out_dir, exist_ok=True)
    for name in names or SOUNDS:
        path = os.path.join(out_dir, name + ".ogg")
        samples = SOUNDS[name]()
        write_ogg(path, samples)
        print(f"{path}: {len(samples) / RATE:.2f} s, {os.path.getsize(path) // 1024} KB")


if __name__ == "__main__":
    main(sys.argv[1:])
