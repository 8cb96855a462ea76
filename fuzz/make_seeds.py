#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

The seeds are committed; run this again only to change them. Standard
library only. Layouts are those described at the top of each target.
"""
import os
import re
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- answer frames

def answer_frame(seq, cmd, data, status=(0x80, 0, 0, 0, 0, 0)):
    """01 | 2Bh+n | SEQ | CMD | data | 04 | S0..S5 | 05 | 4 check-sum digits | 03"""
    body = bytes([(0x2B + len(data)) & 0xFF, seq, cmd]) + data + b"\x04" + bytes(status) + b"\x05"
    total = sum(body) & 0xFFFF
    digits = bytes(0x30 + ((total >> s) & 0x0F) for s in (12, 8, 4, 0))
    return b"\x01" + body + digits + b"\x03"


SEQ = 0x21  # the second request of a fresh engine: the one under test
CMD = 0x5A  # the command fuzz_answer_reader sends
good = (0x80, 0x08, 0x02, 0x03, 0x06, 0xDE)  # status bits that are no error
diag = b"ZORVIK FP-1,1.00 01Jan25 1200,ABCD,00000000,ZK123456"

write("fuzz_answer_reader", "diagnostic", answer_frame(SEQ, CMD, diag, good))
write("fuzz_answer_reader", "empty_data", answer_frame(SEQ, CMD, b""))
write("fuzz_answer_reader", "error_bits", answer_frame(SEQ, CMD, b"F", (0x81, 0x80, 0x80, 0x80, 0x80, 0x80)))
write("fuzz_answer_reader", "busy_first", b"\x16\x16\x16" + answer_frame(SEQ, CMD, b"P,12"))
write("fuzz_answer_reader", "nak", b"\x15")
write("fuzz_answer_reader", "truncated", answer_frame(SEQ, CMD, diag)[:20])
bad = bytearray(answer_frame(SEQ, CMD, b"1,2,3"))
bad[-2] ^= 0x01
write("fuzz_answer_reader", "bad_checksum", bytes(bad))
write("fuzz_answer_reader", "wrong_seq", answer_frame(SEQ + 1, CMD, b"1"))
write("fuzz_answer_reader", "first_seq_again", answer_frame(SEQ - 1, CMD, b"1"))
write("fuzz_answer_reader", "wrong_cmd", answer_frame(SEQ, CMD + 1, b"1"))
write("fuzz_answer_reader", "longest_data", answer_frame(SEQ, CMD, bytes(0x41 + i % 26 for i in range(255))))
write("fuzz_answer_reader", "zero_inside", answer_frame(SEQ, CMD, b"12\x0034"))

# ---------------------------------------------------------------- splitters


def splitters(flags, s1, s2, s3, text):
    return bytes([flags, len(s1), len(s2), len(s3)]) + s1 + s2 + s3 + text


write("fuzz_splitters", "three_levels", splitters(0, b",", b";", b"=", b"1,2;3=4,,5;6=7=8,"))
write("fuzz_splitters", "quirk", splitters(0, b"ab", b"", b"", b"aab,abab,xaby"))
write("fuzz_splitters", "tab_lines", splitters(0, b"\n", b"\t", b" ", b"A\tB C\nD\tE\n\n"))
write("fuzz_splitters", "zero_inside", splitters(0, b",", b";", b"", b"1,2\x003,4"))
write("fuzz_splitters", "wide", splitters(1, b",", b";", b"", "1,\u0416;\U0001F600,\ud800".encode("utf-16-le", "surrogatepass")))
write("fuzz_splitters", "cp1252", splitters(0, b"\x80", b",", b"", b"12\x8034,5\x80\x80"))

# ---------------------------------------------------------------- checks

for i, value in enumerate(["12.3456", "-2147483648", "2147483648", "1e3", "0.00005", "922337203685477.5807",
                           "-922337203685477.58075", "P", "F", "abc", "+5", "", "1.", ".5", "1e-99999"]):
    write("fuzz_checks", "value_%02d" % i, bytes([i * 7 % 256]) + value.encode())

# ---------------------------------------------------------------- code pages

write("fuzz_codepage", "cp1251", "Здравей, свят! №5".encode("cp1251"))
write("fuzz_codepage", "cp1252", "Café € „quoted“ – ÿ".encode("cp1252"))
write("fuzz_codepage", "utf8", "Здравей 😀 ½".encode("utf-8"))
write("fuzz_codepage", "utf8_broken", b"ok\xc0\x80\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82")
write("fuzz_codepage", "utf16", "A\u0416\U0001F600".encode("utf-16-le") + b"\x00\xd8" + "e\u0301".encode("utf-16-le"))
write("fuzz_codepage", "all_bytes", bytes(range(1, 256)))

# ---------------------------------------------------------------- answer shapes

for i, text in enumerate(["P,1234,5678", "F", "12,34,56,78,90,12", "T12:34:56 01-02-25",
                          "0,ZORVIK FP-1,1.00,ABCD,00000000,ZK123456", "1;2\n3\t4 5", "P1234.56,,x",
                          "\x80\xa3,\xff"]):
    write("fuzz_answer_shapes", "answer_%02d" % i, text)

# ---------------------------------------------------------------- logo

row = bytes(range(72)).hex()
write("fuzz_logo", "row_lower", b"\x02" + row.encode())
write("fuzz_logo", "row_upper_last", bytes([97 << 1]) + row.upper().encode())
write("fuzz_logo", "row_outside", bytes([127 << 1]) + ("f0" * 72).encode())
write("fuzz_logo", "row_short", b"\x04" + ("00" * 71).encode())
write("fuzz_logo", "row_odd_chars", b"\x06" + (b"zZ!~" * 40))


def bmp(width, height, bits, pixel):
    row_bytes = (width * bits // 8 + 3) & ~3
    pixels = bytearray()
    for y in range(height):
        line = bytearray()
        for x in range(width):
            line += pixel(x, y)
        line += b"\x00" * (row_bytes - len(line))
        pixels += line
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    return file_header + header + bytes(pixels)


def png(width, height, pixel):
    raw = b"".join(b"\x00" + b"".join(pixel(x, y) for x in range(width)) for y in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


write("fuzz_logo", "bmp24", b"\x01" + bmp(8, 4, 24, lambda x, y: bytes([x * 30, y * 60, 255 - x * 30])))
write("fuzz_logo", "bmp32", b"\x01" + bmp(5, 3, 32, lambda x, y: bytes([0, 0, 0, 0]) if (x + y) % 2 else b"\xff\xff\xff\x00"))
write("fuzz_logo", "png_alpha", b"\x01" + png(3, 3, lambda x, y: bytes([200, 10 * x, 20 * y, 80 * x])))
write("fuzz_logo", "pbm", b"\x01" + b"P1\n4 2\n1 0 0 1\n0 1 1 0\n")
huge = bytearray(bmp(1, 1, 24, lambda x, y: b"\x00\x00\x00"))
struct.pack_into("<ii", huge, 18, 100000, 100000)
write("fuzz_logo", "bmp_huge_header", b"\x01" + bytes(huge))

# ---------------------------------------------------------------- interface

slots = re.findall(r'\{"(\w+)", (\d+), EntryKind::(\w+)\}',
                   open(os.path.join(ROOT, "src", "uORBANTIS", "InterfaceSlots.inc")).read())
entries = [(name, kind) for name, _, kind in slots] + [("initFiscalPrinterDevice", "Method")]
callable_entries = [e for e in entries if e[0] != "CONNECT_TO_PRINTER"]


def entry(name, kind="Method"):
    return callable_entries.index((name, kind))


def integer(v):
    return struct.pack("<i", v)


def boolean(v):
    return b"\x01" if v else b"\x00"


def utf8(s):
    b = s.encode("utf-8")
    assert len(b) < 128
    return bytes([len(b)]) + b


def units(s):
    b = s.encode("utf-16-le", "surrogatepass")
    return bytes([128 + len(b) // 2]) + b


def calls(*parts):
    return bytes([len(parts) - 1]) + b"".join(parts)


write("fuzz_interface", "tcp_then_command", calls(
    bytes([entry("INIT_MY_FP2")]) + utf8("127.0.0.1") + utf8("4999"),
    bytes([entry("CMD_90_0_0")]) + b"".join(utf8("old") for _ in range(5)),
    bytes([entry("GetLastErrorMessage")])))
write("fuzz_interface", "device_then_custom", calls(
    bytes([entry("initFiscalPrinterDevice")]) + utf8("/dev/null") + integer(9600) + boolean(True) + boolean(False),
    bytes([entry("CUSTOM_CMD")]) + integer(0x4A) + utf8("X") + utf8(""),
    bytes([entry("GetLastErrorCode")])))
write("fuzz_interface", "status_and_properties", calls(
    bytes([entry("debugFolder", "PropertyWrite")]) + utf8(""),
    bytes([entry("debugMode", "PropertyWrite")]) + boolean(True),
    bytes([entry("debugMode", "PropertyRead")]),
    bytes([entry("CMD_74_0_0")]) + utf8("X") + b"".join(utf8("s%d" % i) for i in range(6))))
write("fuzz_interface", "header_wide", calls(
    bytes([entry("setHeader")]) + units("Ж\ud800") + utf8("line 2") + units("\U0001F600") + utf8("") + utf8("5") +
    utf8("6"),
    bytes([entry("INIT_MY_FP2")]) + utf8("::1") + utf8("70000")))

# fuzz_http_request: method byte, header byte, target "\n" body; 0xFF: a printers file.
GET, POST, PUT, DELETE, OPTIONS = 0, 1, 2, 3, 4
TOKEN, WRONG, ORIGIN, JSON, PNG, KEY = 1, 2, 4, 8, 16, 32
write("fuzz_http_request", "printers", bytes([GET, TOKEN]) + b"/printers")
write("fuzz_http_request", "status_async", bytes([GET, TOKEN | ORIGIN]) + b"/printers/p1/status?async=1&timeout=5")
write("fuzz_http_request", "receipt", bytes([POST, TOKEN | JSON | KEY]) + b"/printers/p1/receipt\n" +
      b'{"operator":{"code":1,"password":"0000","till":1},"items":[{"text":"A","taxGroup":"A","price":"1.00",'
      b'"unit":"pc"}],"payments":[{"mode":"P","amount":"1.00"}]}')
write("fuzz_http_request", "cash", bytes([POST, TOKEN | JSON]) + b'/printers/p1/cash\n{"direction":"in","amount":"1.5"}')
write("fuzz_http_request", "datetime", bytes([PUT, TOKEN | JSON]) + b'/printers/p1/datetime\n{"datetime":"2026-12-10T10:00:00"}')
write("fuzz_http_request", "raw", bytes([POST, TOKEN | JSON]) + b'/printers/p1/raw\n{"command":74,"data":"X"}')
write("fuzz_http_request", "logo", bytes([PUT, TOKEN | PNG]) + b"/printers/p1/logo\n\x89PNG\r\n\x1a\n")
write("fuzz_http_request", "journal", bytes([GET, TOKEN]) + b"/printers/p1/receipts?day=2026-12-10")
write("fuzz_http_request", "no_token", bytes([GET, WRONG]) + b"/printers/p1/receipts/till%2F7")
write("fuzz_http_request", "preflight", bytes([OPTIONS, ORIGIN]) + b"/printers/p1/receipt")
write("fuzz_http_request", "page", bytes([GET, 0]) + b"/")
write("fuzz_http_request", "config", b"\xff" + b'{"printers":[{"id":"a","device":"/dev/ttyUSB0","baud":9600},'
      b'{"id":"b","host":"h:1","codePage":1251},{"id":"c","com":2}]}')
