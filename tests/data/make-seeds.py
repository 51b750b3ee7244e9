#!/usr/bin/env python3
"""Writes the small song files in this folder (see README.md). Run it from anywhere."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def var_len(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def chunk(chunk_id, body):
    return chunk_id + struct.pack(">I", len(body)) + body


def meta(delta, meta_type, data):
    return var_len(delta) + bytes([0xFF, meta_type]) + var_len(len(data)) + data


END = meta(0, 0x2F, b"")


def smf(fmt, division, tracks):
    out = chunk(b"MThd", struct.pack(">HHH", fmt, len(tracks), division))
    for body in tracks:
        out += chunk(b"MTrk", body + END)
    return out


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# One track: name, tempo, time signature, program, notes in running status, controllers,
# pitch bend and channel pressure.
notes = bytes.fromhex("00 C0 00  00 B0 07 64  00 B0 0A 40  00 90 3C 40  60 3E 40  60 40 40"
                      "  00 E0 00 50  60 3C 00  00 3E 00  00 40 00  00 D0 20  00 E0 00 40")
write("format0.mid", smf(0, 96, [
    meta(0, 0x03, b"Seed in one track")
    + meta(0, 0x51, bytes.fromhex("07 A1 20"))
    + meta(0, 0x58, bytes.fromhex("04 02 18 08"))
    + notes]))

# Three tracks: a conductor track with the title, a track with SysEx (a long one and one
# continued with an F7 escape), and a drum track with a two-byte delta and a text event.
write("format1.mid", smf(1, 480, [
    meta(0, 0x03, b"Seed in three tracks") + meta(0, 0x51, bytes.fromhex("06 1A 80")),
    bytes.fromhex("00 F0 05 7E 7F 09 01 F7")
    + bytes.fromhex("00 F0 0A 41 10 42 12 40 00 7F 00 41 F7")
    + bytes.fromhex("00 F0 03 43 12 00  10 F7 02 01 F7")
    + meta(0, 0x03, b"Keys") + bytes.fromhex("00 C1 05 00 91 48 50 83 60 48 00"),
    meta(0, 0x01, b"drums") + bytes.fromhex("00 99 24 64 00 26 64 81 40 24 00 00 26 00"),
]))

# The one-track song inside a RIFF container.
inner = smf(0, 96, [meta(0, 0x03, b"Wrapped seed") + notes])
write("riff.mid", b"RIFF" + struct.pack("<I", len(inner) + 12) + b"RMIDdata"
      + struct.pack("<I", len(inner)) + inner)

# A header and no tracks: valid, without title.
write("no-tracks.mid", chunk(b"MThd", struct.pack(">HHH", 1, 0, 96)))
