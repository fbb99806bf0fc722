#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus: valid and near-valid datagrams and
address texts. The files are kept in the repository; run this again only to
change them (python3 tests/fuzz/make_seeds.py)."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def field(text, width):
    data = text.encode("latin-1") if isinstance(text, str) else text
    return (data + bytes(width))[:width]


def header(opcode, mac):
    return b"TOLVEXut" + bytes([0x00, opcode]) + bytes(mac)


def discovery_reply(mac, name="CAM", version="1.0.3", description="Door",
                    ip=(10, 0, 0, 1), mask=(255, 255, 255, 0), gateway=(10, 0, 0, 254)):
    return (header(0x70, mac) + bytes(4) + bytes(ip) + bytes(mask) + bytes(gateway)
            + field(name, 32) + field(version, 16) + field(description, 32))


def config_reply(mac, message):
    return header(0x30, mac) + field(message, 32)


def write(kind, name, data):
    folder = os.path.join(HERE, "corpus", kind)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


NEW = (0x02, 0x4B, 0x7E, 0x0A, 0x1B, 0xFF)
LISTED = (0x02, 0x4B, 0x7E, 0x00, 0x00, 0x03)  # listed in the populated table
valid = discovery_reply(NEW)

datagrams = {
    "discovery-reply": valid,
    "discovery-reply-listed-mac": discovery_reply(LISTED, name="AGAIN"),
    "discovery-reply-300-bytes": valid + b"\x7f" * 188,
    "discovery-reply-111-bytes": valid[:111],
    "discovery-reply-foreign-prefix": discovery_reply((0x02, 0x4B, 0x7F, 0, 0, 3)),
    "discovery-reply-full-fields": discovery_reply(
        (0x02, 0x4B, 0x7E, 0xFF, 0xFF, 0xFF), name=b"N\nAME\xe9" + b"x" * 26,
        version=b"V" * 16, description=b"\n" * 32, ip=(255, 255, 255, 255), mask=(0, 0, 0, 0),
        gateway=(1, 0, 10, 100)),
    "discovery-reply-nul-name": discovery_reply((0x02, 0x4B, 0x7E, 0, 0, 0), name=b"\0HIDDEN"),
    "config-reply-listed": config_reply(LISTED, "Setting OK"),
    "config-reply-unlisted": config_reply(NEW, "Password Error"),
    "config-reply-foreign": config_reply((0x02, 0x4B, 0x7F, 0, 0, 1), "Setting OK"),
    "config-reply-full-message": config_reply(LISTED, "M" * 32),
    "config-reply-47-bytes": config_reply(LISTED, "Setting OK")[:47],
    "discovery-request": header(0x16, (0xFF,) * 6),
    "config-request": (header(0x90, LISTED) + bytes(82))[:98],
    "magic-lower-case": b"tolvexut" + valid[8:],
    "byte-8-set": valid[:8] + b"\x01" + valid[9:],
    "unknown-opcode": valid[:9] + b"\x71" + valid[10:],
    "header-only": valid[:16],
    "one-byte": b"T",
    "empty": b"",
    "largest": valid + bytes(1024 - len(valid)),
}

addresses = {
    "dotted": b"192.168.0.100",
    "reply-cell": b"\n10.0.0.1",
    "zeros": b"0.0.0.0",
    "all-255": b"255.255.255.255",
    "256": b"256.1.1.1",
    "three-numbers": b"1.2.3",
    "five-numbers": b"1.2.3.4.5",
    "empty-number": b"1..2.3",
    "leading-dot": b".1.2.3",
    "letters-between": b"a1b.2c.3d.4e",
    "kept-31": b"0" * 24 + b"1.2.3.4",
    "kept-32": b"0" * 25 + b"1.2.3.4",
    "nul-inside": b"1.2.3.4\x00.5",
    "long-number": b"99999999999.1.1.1",
    "high-bytes": b"\xff\xfe1.2\xb7.3.4",
    "mac": b"02-4B-7E-0A-1B-FF",
    "mac-lower-colons": b"02:4b:7e:0a:1b:ff",
    "mac-short": b"02-4B",
    "mac-reply-cell": b"\n02-4B-7E-00-00-01",
    "mac-not-hex": b"zz-zz-zz-zz-zz-zz",
    "empty": b"",
}

for name, data in datagrams.items():
    write("datagram", name, data)
for name, data in addresses.items():
    write("addresstext", name, data)
