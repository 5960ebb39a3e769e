#!/usr/bin/env python3
"""A second, independent client of kv9sim: the whole default update.

Built on the boot-mode protocol and the module's frames alone, with nothing of the tool's
serial code: the port is set with plain tcgetattr/tcsetattr (read, modify,
write, as glibc programs and pyserial do), frames are built here, and what
reached the module is checked through kv9sim's dump. It starts kv9sim,
finds the module by its command frames at its own rate, asks for boot mode,
matches the boot program at the given rate, selects the RX231, switches to
115200 bit/s with the clock fields a third-party programmer sends, passes
the ID code check when the flash is protected, asks the erase-block layout
(a two-byte size, as the chips send it), erases and programs a few blocks,
reads the whole programmed area back and compares it, checks the resident
loader's CRC, restarts, reads the new ROM
version and restores the factory settings.

Standard library only. Exit status 0 when every check held, 1 otherwise.
"""

import argparse
import json
import os
import re
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time

SPEEDS = {9600: termios.B9600, 19200: termios.B19200, 38400: termios.B38400, 115200: termios.B115200}
MODULE_RATES = (9600, 19200, 38400, 115200)  # the order a technician's search tries them
BOOT_RATE = 115200
ACCESS_CODE = b"583914207"

USER_AREA_FIRST = 0xFFFC0000  # RX231, 256 KB
LOADER_FIRST = 0xFFFFC000  # the resident loader's 16 KB stay untouched
ERASE_BLOCK = 0x800
VERSION_ADDRESS = 0xFFFFBFF0
NEW_VERSION = b"V9.87.65 "


class CheckFailed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise CheckFailed(what)


def hexs(data):
    return " ".join("%02X" % b for b in data)


# --- frames -----------------------------------------------------------------

def module_frame(code, data):
    """STX 00 code LEN data ETX SUM CR; SUM is the low byte of STX..ETX."""
    f = bytes([0x02, 0x00, code, len(data)]) + bytes(data) + b"\x03"
    return f + bytes([sum(f) & 0xFF, 0x0D])


def module_reply(data):
    """An accepted reply (status "0") carrying `data`."""
    f = bytes([0x02, 0x00, 0x30, len(data)]) + bytes(data) + b"\x03"
    return f + bytes([sum(f) & 0xFF, 0x0D])


def boot_sum(data):
    return (-sum(data)) & 0xFF


def boot_frame(command, data):
    f = bytes([command, len(data)]) + bytes(data)
    return f + bytes([boot_sum(f)])


def be32(v):
    return v.to_bytes(4, "big")


def _crc_table():
    table = []
    for n in range(256):
        crc = n
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8408 if crc & 1 else crc >> 1
        table.append(crc)
    return table


CRC_TABLE = _crc_table()


def crc_x25(data):
    """CRC-16/X-25: reflected 0x1021, initial 0xFFFF, final complement."""
    crc = 0xFFFF
    for b in data:
        crc = (crc >> 8) ^ CRC_TABLE[(crc ^ b) & 0xFF]
    return crc ^ 0xFFFF


# --- the serial line --------------------------------------------------------

class Line:
    def __init__(self, path, rate):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        self.rate = None
        self.set_rate(rate)

    def set_rate(self, rate):
        # Read, modify, write: only the speeds and the raw-mode bits change,
        # whatever else the line carries stays as it was.
        iflag, oflag, cflag, lflag, _, _, cc = termios.tcgetattr(self.fd)
        iflag &= ~(termios.IGNBRK | termios.BRKINT | termios.PARMRK | termios.ISTRIP | termios.INLCR |
                   termios.IGNCR | termios.ICRNL | termios.IXON | termios.IXOFF | termios.IXANY)
        oflag &= ~termios.OPOST
        lflag &= ~(termios.ECHO | termios.ECHONL | termios.ICANON | termios.ISIG | termios.IEXTEN)
        cflag &= ~(termios.CSIZE | termios.PARENB | termios.CSTOPB | termios.CRTSCTS)
        cflag |= termios.CS8 | termios.CREAD | termios.CLOCAL
        cc[termios.VMIN] = 0
        cc[termios.VTIME] = 0
        speed = SPEEDS[rate]
        termios.tcsetattr(self.fd, termios.TCSANOW, [iflag, oflag, cflag, lflag, speed, speed, cc])
        self.rate = rate

    def send(self, data):
        view = memoryview(bytes(data))
        while view:
            select.select([], [self.fd], [], 1.0)
            try:
                n = os.write(self.fd, view)
            except BlockingIOError:
                continue
            view = view[n:]

    def read(self, count, timeout=1.0):
        """Up to `count` bytes, whatever came before the deadline."""
        out = b""
        deadline = time.monotonic() + timeout
        while len(out) < count:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select([self.fd], [], [], left)
            if not ready:
                continue
            try:
                out += os.read(self.fd, count - len(out))
            except BlockingIOError:
                pass
        return out

    def ask(self, frame, count, timeout=1.0):
        termios.tcflush(self.fd, termios.TCIFLUSH)
        self.send(frame)
        return self.read(count, timeout)

    def close(self):
        termios.tcflush(self.fd, termios.TCIFLUSH)
        os.close(self.fd)


# --- the module's normal firmware --------------------------------------------

def rom_version(line, timeout=1.0):
    r = line.ask(module_frame(0x4F, [0x90, 0x00]), 17, timeout)
    return r[5:14] if len(r) == 17 and r[2] == 0x30 and r[4] == 0x90 else None


def discover(path):
    """Tries the module rates in turn; the module counts as found when it
    accepts the operation-mode frame and reports the supported model."""
    line = Line(path, MODULE_RATES[0])
    for rate in MODULE_RATES:
        line.set_rate(rate)
        # The module answers within 1000 ms; a shorter wait could miss a
        # slow reply and then lose it to the next rate.
        r = line.ask(module_frame(0x4E, [0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00]), 7)
        if len(r) == 7 and r[2] == 0x30:
            version = rom_version(line)
            check(version is not None, "no ROM version at %d bit/s" % rate)
            name = line.ask(module_frame(0x4F, [0x93]), 17)
            check(name[5:14] == b"Q508     ", "model name %r" % name[5:14])
            return line, rate, version
    raise CheckFailed("module not found at any rate")


def eeprom_read(line, kind):
    r = line.ask(module_frame(0x4F, [0x83, kind, 1, 62]), 134)
    check(len(r) == 134 and r[2] == 0x30 and r[4:7] == bytes([0x83, 1, 62]),
          "EEPROM read %d: %s" % (kind, hexs(r[:8])))
    return bytearray(r[7:7 + 124])


def eeprom_write(line, kind, words):
    r = line.ask(module_frame(0x4E, [0x83, kind, 1, len(words) // 2] + list(words)), 8)
    check(r == module_reply([0x83]), "EEPROM write %d: %s" % (kind, hexs(r)))


def restore_factory_settings(line):
    factory = eeprom_read(line, 254)
    alldata = eeprom_read(line, 255)
    r = line.ask(module_frame(0x4E, [0x71]), 8)
    check(r == module_reply([0x71]), "EEPROM initialisation: %s" % hexs(r))
    fresh = eeprom_read(line, 254)
    # Words 25, 31 and 39..61 come from the initialised factory data; every
    # other word keeps what the module held before.
    for word in [25, 31] + list(range(39, 62)):
        factory[2 * word:2 * word + 2] = fresh[2 * word:2 * word + 2]
        alldata[2 * word:2 * word + 2] = fresh[2 * word:2 * word + 2]
    eeprom_write(line, 255, factory)
    for kind, first, count in ((0, 0, 20), (1, 20, 10), (2, 30, 8), (3, 38, 24)):
        eeprom_write(line, kind, alldata[2 * first:2 * (first + count)])
    check(eeprom_read(line, 254) == factory, "factory data read back differs")
    check(eeprom_read(line, 255) == alldata, "all data read back differs")
    return bytes(factory), bytes(alldata)


# --- the boot program -------------------------------------------------------

def ack(line, frame, expected, what):
    r = line.ask(frame, 1)
    if r != bytes([expected]):
        r += line.read(1, 0.2)
    check(r == bytes([expected]), "%s: %s" % (what, hexs(r) or "no answer"))


def match_bit_rate(line, rate, deadline_s=5.0):
    """0x00 bytes, one every 50 ms, until the boot program answers 0x00
    (the microcontroller is still restarting at first), then 0x55 / 0xE6."""
    line.set_rate(rate)
    termios.tcflush(line.fd, termios.TCIFLUSH)
    deadline = time.monotonic() + deadline_s
    got = b""
    while not got and time.monotonic() < deadline:
        line.send(b"\x00")
        got = line.read(1, 0.05)
    check(got == b"\x00", "bit-rate matching at %d: %s" % (rate, hexs(got) or "no answer"))
    # A 0x00 sent before the first answer came back may still be answered:
    # those late 0x00 answers are skipped, the first other byte counts.
    termios.tcflush(line.fd, termios.TCIFLUSH)
    line.send(b"\x55")
    r = line.read(1)
    while r == b"\x00":
        r = line.read(1)
    check(r == b"\xE6", "matching confirmation: %s" % (hexs(r) or "no answer"))


def boot_status(line):
    r = line.ask(b"\x4F", 5)
    check(len(r) == 5 and r[:2] == b"\x5F\x02" and boot_sum(r[:4]) == r[4], "status inquiry: %s" % hexs(r))
    return r[2], r[3]


def id_code_pieces(table_source):
    text = open(table_source, encoding="utf-8").read()
    m = re.search(r'IdCodeTable\[\d+\]\s*=\s*"([^"]{32,})"', text)
    check(m is not None, "no ID code table in " + table_source)
    table = m.group(1).encode("ascii")
    return table[:16], table[16:32]


def pass_id_check(line, pieces):
    """State transition; with a protected flash, piece A then piece B."""
    r = line.ask(b"\x40", 1)
    if r == b"\x06":
        return None
    check(r == b"\x16", "state transition: %s" % hexs(r))
    for name, code in zip("AB", pieces):
        r = line.ask(boot_frame(0x60, code), 1)
        if r == b"\x06":
            return name
        r += line.read(1)
        check(r == b"\xE0\x61", "ID code %s refused with %s" % (name, hexs(r)))
    raise CheckFailed("no ID code piece accepted")


def build_image():
    """The user area below the loader after the update: a few programmed
    blocks, the ROM version text in the last one, erased elsewhere."""
    blocks = {
        0xFFFC0000: bytes((i * 7 + 1) & 0xFF for i in range(256)),
        0xFFFC0100: bytes((255 - i) & 0xFF for i in range(256)),
        0xFFFE8000: bytes([0xA5, 0x5A] * 128),
    }
    last = bytearray(b"\xFF" * 256)
    last[:16] = b"KV9 interop test"
    at = VERSION_ADDRESS - 0xFFFFBF00
    last[at:at + len(NEW_VERSION)] = NEW_VERSION
    blocks[0xFFFFBF00] = bytes(last)
    image = bytearray(b"\xFF" * (LOADER_FIRST - USER_AREA_FIRST))
    for address, data in blocks.items():
        image[address - USER_AREA_FIRST:address - USER_AREA_FIRST + 256] = data
    return blocks, bytes(image)


def erase_block_layout(line):
    """The erase-block inquiry as the RX231 answers it: 0x36, a two-byte
    size, one byte, then (first, block size, block count) per area."""
    head = line.ask(b"\x26", 3)
    check(len(head) == 3 and head[0] == 0x36, "erase-block inquiry: %s" % hexs(head))
    size = head[1] << 8 | head[2]
    r = head + line.read(size + 1)
    check(len(r) == size + 4 and boot_sum(r[:-1]) == r[-1], "erase-block reply: %s" % hexs(r[:16]))
    areas = []
    for at in range(4, 3 + size, 12):
        areas.append(tuple(int.from_bytes(r[at + k:at + k + 4], "big") for k in (0, 4, 8)))
    return areas


def read_back(line, first, expected):
    """Reads the programmed area in 4 KB memory reads, as verifying
    programmers do, and compares it with the image."""
    chunk = 0x1000
    for offset in range(0, len(expected), chunk):
        n = min(chunk, len(expected) - offset)
        address = first + offset
        r = line.ask(boot_frame(0x52, [0x01] + list(be32(address)) + list(be32(n))), n + 6, 3.0)
        check(len(r) == n + 6 and r[:5] == b"\x52" + be32(n) and boot_sum(r[:-1]) == r[-1],
              "memory read of 0x%08X: %s" % (address, hexs(r[:8])))
        check(r[5:-1] == expected[offset:offset + n], "read-back differs in 0x%08X..+%d" % (address, n))


def update_in_boot_mode(line, match_rate, pieces, blocks, image):
    match_bit_rate(line, match_rate)
    ack(line, boot_frame(0x10, b"8a02"), 0x46, "device selection")
    check(boot_status(line) == (0x13, 0x00), "not waiting for the bit rate")
    # 115200 bit/s, 12.00 MHz, two multipliers 8 and 4: RX231 takes its
    # rate from its own clock and must not mind these fields.
    ack(line, boot_frame(0x3F, [0x04, 0x80, 0x04, 0xB0, 0x02, 0x08, 0x04]), 0x06, "new bit rate")
    line.set_rate(BOOT_RATE)
    ack(line, b"\x06", 0x06, "new bit rate confirmation")
    used_piece = pass_id_check(line, pieces)
    check(boot_status(line) == (0x3F, 0x00), "not waiting for commands")
    areas = erase_block_layout(line)
    check(areas and areas[0] == (USER_AREA_FIRST, ERASE_BLOCK, ((1 << 32) - USER_AREA_FIRST) // ERASE_BLOCK),
          "erase blocks of the user area: %s" % (areas,))

    r = line.ask(b"\x4D", 2)
    check(r == b"\xCD\x52", "user area blank check on a programmed module: %s" % hexs(r))
    ack(line, b"\x48", 0x06, "erase selection")
    address = LOADER_FIRST - ERASE_BLOCK
    while address >= USER_AREA_FIRST:
        ack(line, boot_frame(0x59, be32(address)), 0x06, "erase 0x%08X" % address)
        address -= ERASE_BLOCK
    r = line.ask(boot_frame(0x59, be32(USER_AREA_FIRST + 0x100)), 2)
    check(r == b"\xD9\x29", "erase inside a block: %s" % hexs(r))
    ack(line, boot_frame(0x59, be32(0xFFFFFFFF)), 0x06, "end of erasure")

    ack(line, b"\x43", 0x06, "user area programming selection")
    for address in sorted(blocks):
        f = b"\x50" + be32(address) + blocks[address]
        ack(line, f + bytes([boot_sum(f)]), 0x06, "program 0x%08X" % address)
    f = b"\x50" + be32(0xFFFFFFFF)
    ack(line, f + bytes([boot_sum(f)]), 0x06, "end of programming")

    read_back(line, USER_AREA_FIRST, image)

    r = line.ask(b"\x9F", 3)
    expected = crc_x25(image)
    check(r == bytes([0x9F, expected >> 8, expected & 0xFF]),
          "loader CRC %s, image CRC %04X" % (hexs(r), expected))
    ack(line, b"\x9D", 0x9D, "loader restart")
    return used_piece


# --- the run ----------------------------------------------------------------

def start_sim(program, port_dir, dump_dir, args):
    p = subprocess.Popen([program, "--port-dir", port_dir, "--dump", dump_dir] + args,
                         stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    ready, _, _ = select.select([p.stdout], [], [], 10.0)
    line = p.stdout.readline().decode() if ready else ""
    m = re.match(r"kv9sim: ready on (COM\d+) \(", line)
    if not m:
        p.kill()
        raise CheckFailed("kv9sim did not get ready: %r" % line)
    return p, os.path.join(port_dir, m.group(1))


def stop_sim(p):
    p.send_signal(signal.SIGTERM)
    try:
        status = p.wait(10)
    except subprocess.TimeoutExpired:
        p.kill()
        raise CheckFailed("kv9sim did not stop")
    check(status == 0, "kv9sim exit status %d" % status)


def run(opts, work):
    port_dir = os.path.join(work, "ports")
    dump_dir = os.path.join(work, "dump")
    sim_args = ["--rate", str(opts.module_rate), "--reset-ms", "100"]
    if opts.id_protect:
        sim_args += ["--id-protect", opts.id_protect]
    pieces = id_code_pieces(opts.id_table)
    blocks, image = build_image()

    sim, port = start_sim(opts.sim, port_dir, dump_dir, sim_args)
    try:
        line, rate, old_version = discover(port)
        check(rate == opts.module_rate, "found at %d bit/s" % rate)
        r = line.ask(module_frame(0x4E, [0x9B] + list(ACCESS_CODE)), 8, 1.5)
        check(r == module_reply([0x9B]), "boot-mode request: %s" % hexs(r))
        used_piece = update_in_boot_mode(line, opts.match_rate, pieces, blocks, image)
        check(used_piece == opts.id_protect, "ID code piece %s used" % used_piece)

        line.set_rate(rate)
        deadline = time.monotonic() + 5.0
        version = None
        while version is None and time.monotonic() < deadline:
            version = rom_version(line, 0.3)
        check(version == NEW_VERSION, "ROM version after the update: %r (was %r)" % (version, old_version))
        factory, alldata = restore_factory_settings(line)
        line.close()
    finally:
        if sim.poll() is None:
            stop_sim(sim)

    flash = open(os.path.join(dump_dir, "flash.bin"), "rb").read()
    check(len(flash) == 0x40000, "flash dump of %d bytes" % len(flash))
    below_loader = flash[:LOADER_FIRST - USER_AREA_FIRST]
    for address, data in sorted(blocks.items()):
        at = address - USER_AREA_FIRST
        check(below_loader[at:at + 256] == data, "block 0x%08X in the dump" % address)
    check(below_loader == image, "flash outside the programmed blocks is not erased")
    check(flash[LOADER_FIRST - USER_AREA_FIRST:] != b"\xFF" * 0x4000, "the loader was erased")
    check(open(os.path.join(dump_dir, "eeprom_factory.bin"), "rb").read() == factory, "factory EEPROM dump")
    check(open(os.path.join(dump_dir, "eeprom_all.bin"), "rb").read() == alldata, "all-data EEPROM dump")
    summary = json.load(open(os.path.join(dump_dir, "summary.json"), encoding="utf-8"))
    check(summary["bytesLost"] == 0, "%d reply bytes lost" % summary["bytesLost"])
    check(summary["restarts"] == 2, "%d restarts" % summary["restarts"])
    check({opts.match_rate, BOOT_RATE, opts.module_rate} <= set(summary["ratesSeen"]),
          "rates seen %s" % summary["ratesSeen"])


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--sim", required=True, help="the kv9sim program")
    ap.add_argument("--id-table", required=True, help="source file holding the ID code table")
    ap.add_argument("--match-rate", type=int, choices=(9600, 19200), required=True)
    ap.add_argument("--module-rate", type=int, choices=MODULE_RATES, required=True)
    ap.add_argument("--id-protect", choices=("A", "B"))
    opts = ap.parse_args()
    with tempfile.TemporaryDirectory(prefix="kv9-interop-") as work:
        try:
            run(opts, work)
        except CheckFailed as e:
            print("FAIL: %s" % e)
            return 1
    print("OK: update at module rate %d, matched at %d" % (opts.module_rate, opts.match_rate))
    return 0


if __name__ == "__main__":
    sys.exit(main())
