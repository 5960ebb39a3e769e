#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpus into fuzz/corpus/<target>/.

The frames come from a real run: kv9flash updates a kv9sim module with its
trace switches on (--debug --tx-log --rx-log), and the bytes it logged are
cut into the targets' input formats: what the tool sent becomes the
simulator's input, what it received (in the batches it arrived in) the
controller's. The other seeds are written out here. Run again after the
protocol changes:

    python3 fuzz/make_corpus.py BUILD_DIR     (BUILD_DIR holds cli/kv9flash and sim/kv9sim)
"""
import os
import re
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


def boot_sum(b):
    return (0x100 - (sum(b) & 0xFF)) & 0xFF


def capture(build):
    """Trace lines of a full default update, as (direction, bytes)."""
    with tempfile.TemporaryDirectory() as ports:
        env = dict(os.environ, KV9_PORT_DIR=ports)
        sim = subprocess.Popen([os.path.join(build, "sim", "kv9sim"), "--com", "1"], env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        try:
            sim.stdout.readline()  # the ready line
            out = subprocess.run([os.path.join(build, "cli", "kv9flash"), "--port", "COM1", "--debug",
                                  "--tx-log", "--rx-log"], env=env, capture_output=True, text=True,
                                 timeout=300).stdout
        finally:
            sim.terminate()
            sim.wait()
    lines = []
    for line in out.splitlines():
        m = re.match(r"^(TX|RX): ((?:[0-9A-F]{2} )+)$", line)
        if m:
            lines.append((m.group(1), [int(x, 16) for x in m.group(2).split()]))
    return lines


def link_selector(frame):
    """The link target's command for a frame the tool sent, or None."""
    if frame[:1] == [0x02] and len(frame) > 5:
        code, sub = frame[2], frame[4]
        if code == 0x4F and sub == 0x90: return 2
        if code == 0x4F and sub == 0x93: return 3
        if code == 0x4F and sub == 0x84: return 4
        if code == 0x4F and sub == 0x83: return 5
        if code == 0x4E and sub == 0x9B: return 6
        if code == 0x4E and sub == 0x9E: return 1
        if code == 0x4E and sub in (0x00, 0x10): return 0
        return None
    if frame == [0x9F]: return 11
    if frame[:1] == [0x4D]: return 7
    if frame[:1] == [0x52]: return 9
    if frame[:1] == [0x71]: return 10
    return None


def from_capture(lines):
    # Controller: one seed per recognised command with the batches that followed it.
    n = 0
    for i, (d, frame) in enumerate(lines):
        if d != "TX": continue
        sel = link_selector(frame)
        if sel is None: continue
        param = frame[7] if sel == 5 else 0
        data = [sel, 0x07, param]
        for d2, batch in lines[i + 1:]:
            if d2 == "TX": break
            for k in range(0, len(batch), 31):
                piece = batch[k:k + 31]
                data += [len(piece)] + piece
        if len(data) > 3:
            put("link_replies", "captured-%02d-cmd%d" % (n, sel), data)
            n += 1
    # Simulator: what the tool sent, in pieces of up to 63 bytes, with a
    # pause long enough for a restart after the boot-mode request and the
    # loader's restart. Cut where the input would grow too long.
    data = [0x00]
    for d, frame in lines:
        if d != "TX": continue
        for k in range(0, len(frame), 63):
            piece = frame[k:k + 63]
            data += [len(piece)] + piece
        if frame[:1] == [0x02] and len(frame) > 4 and frame[2] == 0x4E and frame[4] == 0x9B:
            data.append(0x80)
        if frame == [0x9D]:
            data.append(0x80)
        if len(data) > 6000: break
    put("sim_frames", "captured-update", data)
    firmware = [0x00]
    for d, frame in lines:
        if d == "TX" and frame[:1] == [0x02] and frame[4:5] != [0x9B]:
            firmware += [len(frame)] + frame
    put("sim_frames", "captured-firmware-frames", firmware[:2000])


def written_seeds():
    # Record fields: place, length, a record line.
    for i, (pos, length, line) in enumerate([
            (1, 1, ":10000000000102030405060708090A0B0C0D0E0F78"),
            (2, 2, ":10000000000102030405060708090A0B0C0D0E0F78"),
            (10, 32, ":10000000000102030405060708090A0B0C0D0E0F78"),
            (3, 8, "S315FFFC000000010203040506070809FF"),
            (5, 8, "S70500000000FA"),
            (1, 9, "zz-not-hex-GG12"),
    ]):
        put("hex_fields", "field-%d" % i, [pos, length] + list(line.encode()))
    # Boot inquiry replies: decoder number, then code, size, data, sum.
    replies = [
        (1, [0x30, 0x0D, 0x01, 0x0A, 0x38, 0x61, 0x30, 0x32] + list(b"RX231")),  # devices
        (0, [0x31, 0x02, 0x01, 0x00]),                                              # clock modes
        (2, [0x32, 0x05, 0x02, 0x02, 0x01, 0x02, 0x01]),                             # multipliers
        (3, [0x33, 0x09, 0x02, 0x00, 0x64, 0x0D, 0xAC, 0x00, 0x64, 0x0C, 0x80]),     # frequencies
        (4, [0x35, 0x09, 0x01, 0xFF, 0xFC, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF]),     # user area
        (5, [0x37, 0x02, 0x01, 0x00]),                                              # write size
        (7, [0x3B, 0x09, 0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x1F, 0xFF]),     # data area
        (8, [0x5F, 0x02, 0x3F, 0x00]),                                              # status
        (9, [0x5B, 0x04, 0x01, 0x23, 0x45, 0x67]),                                  # user area sum
        (4, [0x35, 0x40, 0x07]),                                                    # size beyond the bytes
    ]
    for i, (decoder, reply) in enumerate(replies):
        put("boot_replies", "reply-%d" % i, [decoder] + reply + ([boot_sum(reply)] if len(reply) > 3 else []))
    # kv9flash command lines, arguments separated by zero bytes.
    for i, args in enumerate([
            ["--port", "COM3", "update"],
            ["--rewrite", "--speed", "115200", "--port", "COM255"],
            ["--cpu", "RX630", "--rom-size", "256K", "--boot-rate", "115200", "--freq", "12.29",
             "--mult1", "4", "--mult2", "2", "--reset-wait", "1000", "--no-init", "--scan-mode"],
            ["--image", "firmware.mot", "--debug", "--tx-log", "--rx-log", "version"],
            ["--auto", "ports"],
            ["--port", "COM0"],
            ["--freq", "1e400"],
    ]):
        put("cli_options", "args-%d" % i, b"\0".join(a.encode() for a in args))


def loader_seeds():
    """Image files made by srec_cat and objcopy from a small pattern."""
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "part.bin")
        with open(raw, "wb") as f:
            f.write(bytes((i * 7 + 3) & 0xFF for i in range(600)))
        runs = [
            ("srecord_loader", "srec_cat-s3.mot",
             ["srec_cat", raw, "-binary", "-offset", "0xFFFC0000", "-o", "-", "-motorola", "-address-length=4"]),
            ("srecord_loader", "srec_cat-s2.mot",
             ["srec_cat", raw, "-binary", "-offset", "0xFFF000", "-o", "-", "-motorola", "-address-length=3"]),
            ("srecord_loader", "objcopy.mot",
             ["objcopy", "-I", "binary", "-O", "srec", "--srec-forceS3", "--change-addresses", "0xFFFE0000",
              raw, "/dev/stdout"]),
            ("intel_hex_loader", "srec_cat-linear.hex",
             ["srec_cat", raw, "-binary", "-offset", "0xFFFC0000", "-o", "-", "-intel", "-address-length=4"]),
            ("intel_hex_loader", "srec_cat-segment.hex",
             ["srec_cat", raw, "-binary", "-offset", "0xF0000", "-o", "-", "-intel", "-address-length=3"]),
            ("intel_hex_loader", "objcopy.hex",
             ["objcopy", "-I", "binary", "-O", "ihex", "--change-addresses", "0xFFFFF000", raw, "/dev/stdout"]),
        ]
        for target, name, command in runs:
            put(target, name, subprocess.run(command, check=True, capture_output=True).stdout)


def main():
    written_seeds()
    loader_seeds()
    if len(sys.argv) > 1:
        from_capture(capture(sys.argv[1]))


if __name__ == "__main__":
    main()
