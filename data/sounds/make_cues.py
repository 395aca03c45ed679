#!/usr/bin/env python3
"""Writes the three sound cues of the program: 16-bit mono PCM at 22050 Hz, each under half a
second. Standard library only, so the cues can be rebuilt anywhere:

    python3 data/sounds/make_cues.py

nextsearch.wav  a short rising two-note chime (the scan moves on to the next website)
finished.wav    a gentle three-note major arpeggio (the scan is finished)
foundemail.wav  a quick bright double blip (a link was found)
"""

import math
import os
import struct
import wave

RATE = 22050
PEAK = 0.45 * 32767


def note(freq, seconds, attack=0.008, release=0.06):
    """One soft tone: a sine with a little octave overtone, shaped by a short attack, an
    exponential decay and a release that ends exactly at zero (no click)."""
    count = int(RATE * seconds)
    samples = []
    for i in range(count):
        t = i / RATE
        env = min(1.0, t / attack) if attack > 0 else 1.0
        env *= math.exp(-3.0 * t / seconds)
        remaining = (count - i) / RATE
        if remaining < release:
            env *= remaining / release
        value = math.sin(2 * math.pi * freq * t) + 0.25 * math.sin(4 * math.pi * freq * t)
        samples.append(env * value / 1.25)
    return samples


def silence(seconds):
    return [0.0] * int(RATE * seconds)


def write(path, samples):
    assert len(samples) / RATE < 0.5, path
    frames = b"".join(struct.pack("<h", int(round(max(-1.0, min(1.0, s)) * PEAK)))
                      for s in samples)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    cues = {
        # E5 then A5
        "nextsearch.wav": note(659.25, 0.12) + note(880.00, 0.18),
        # C5, E5, G5
        "finished.wav": note(523.25, 0.11) + note(659.25, 0.11) + note(783.99, 0.22),
        # two quick B5 blips
        "foundemail.wav": note(987.77, 0.07, release=0.03) + silence(0.03)
        + note(987.77, 0.11, release=0.05),
    }
    for name, samples in cues.items():
        write(os.path.join(here, name), samples)
        print(f"{name}: {len(samples) / RATE:.3f} s")


if __name__ == "__main__":
    main()
