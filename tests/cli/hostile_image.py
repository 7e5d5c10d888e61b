#!/usr/bin/env python3
"""Edits a sound NTFS image in place into a damaged or hostile one, the way a volume edited by hand
claims more than it holds. Record 0 (and any record named) is edited with its update sequence
undone and written back, so the edit passes the fix-up check.

Usage: hostile_image.py IMAGE EDIT...
  mft-sparse-tail=CLUSTERS  a sparse run after record 0's $DATA runs, its VCNs and sizes made to
                            agree, so the $MFT claims CLUSTERS more clusters than it stores
  bitmap-sparse=BYTES       the $MFT bitmap made non-resident data of BYTES bytes, its clusters
                            past the stored ones sparse
  drop-bitmap               record 0 without its $BITMAP
  mft-overlap=K             the first $DATA run repeated K times, all over the same clusters
  mft-zero-run              a zero-length run before the others
  mft-run-past-end          a run that ends past the volume's last cluster
  total-sectors=N           the boot sector's sector count
  parent=RECORD:PARENT      every $FILE_NAME of RECORD names PARENT as its folder
  attributes-past-used=RECORD  RECORD's first attribute offset beyond its bytes in use
"""
import struct
import sys

STRIDE = 512


class Image:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.bytes = bytearray(f.read())
        b = self.bytes
        self.sector = struct.unpack_from("<H", b, 0x0B)[0]
        per_cluster = b[0x0D] if b[0x0D] <= 0x80 else 1 << (256 - b[0x0D])
        self.cluster = self.sector * per_cluster
        per_record = struct.unpack_from("<b", b, 0x40)[0]
        self.record = per_record * self.cluster if per_record > 0 else 1 << -per_record
        self.mft = struct.unpack_from("<Q", b, 0x30)[0] * self.cluster
        self.clusters = struct.unpack_from("<Q", b, 0x28)[0] * self.sector // self.cluster

    def save(self):
        with open(self.path, "wb") as f:
            f.write(self.bytes)

    # The first run of the $MFT holds the records the edits name.
    def read_record(self, number):
        at = self.mft + number * self.record
        record = bytearray(self.bytes[at:at + self.record])
        offset, count = struct.unpack_from("<HH", record, 4)
        for i in range(1, count):
            record[i * STRIDE - 2:i * STRIDE] = record[offset + 2 * i:offset + 2 * i + 2]
        return record

    def write_record(self, number, record):
        offset, count = struct.unpack_from("<HH", record, 4)
        for i in range(1, count):
            record[offset + 2 * i:offset + 2 * i + 2] = record[i * STRIDE - 2:i * STRIDE]
            record[i * STRIDE - 2:i * STRIDE] = record[offset:offset + 2]
        at = self.mft + number * self.record
        self.bytes[at:at + self.record] = record


def attributes(record):
    """(offset, type, length) of each attribute up to the end marker."""
    found = []
    at = struct.unpack_from("<H", record, 0x14)[0]
    while struct.unpack_from("<I", record, at)[0] != 0xFFFFFFFF:
        length = struct.unpack_from("<I", record, at + 4)[0]
        found.append((at, struct.unpack_from("<I", record, at)[0], length))
        at += length
    return found


def unnamed(record, kind):
    for at, t, length in attributes(record):
        if t == kind and record[at + 9] == 0:
            return at, length
    raise SystemExit("no unnamed attribute 0x%X" % kind)


def decode_runs(pairs):
    runs, lcn, at = [], 0, 0
    while pairs[at] != 0:
        lw, ow = pairs[at] & 15, pairs[at] >> 4
        length = int.from_bytes(pairs[at + 1:at + 1 + lw], "little")
        if ow:
            lcn += int.from_bytes(pairs[at + 1 + lw:at + 1 + lw + ow], "little", signed=True)
            runs.append((lcn, length))
        else:
            runs.append((None, length))
        at += 1 + lw + ow
    return runs


def width(value, signed):
    w = 1
    while not (-(1 << (8 * w - 1)) <= value < (1 << (8 * w - 1)) if signed else value < (1 << (8 * w))):
        w += 1
    return w


def encode_runs(runs):
    out, previous = bytearray(), 0
    for lcn, length in runs:
        lw = width(length, False)
        if lcn is None:
            out += bytes([lw]) + length.to_bytes(lw, "little")
        else:
            delta = lcn - previous
            ow = width(delta, True)
            out += bytes([ow << 4 | lw]) + length.to_bytes(lw, "little") + delta.to_bytes(ow, "little", signed=True)
            previous = lcn
    return out + b"\0"


def replace_attribute(record, at, old_length, new):
    """Puts `new` (8-byte aligned) in the place of the attribute at `at`, moving the rest."""
    used = struct.unpack_from("<I", record, 0x18)[0]
    body = record[:at] + new + record[at + old_length:used]
    if len(body) > len(record):
        raise SystemExit("the edited record does not fit")
    struct.pack_into("<I", body, 0x18, len(body))
    return bytearray(body + bytes(len(record) - len(body)))


def set_runs(record, at, length, runs, cluster, sizes=True):
    """The non-resident attribute at `at` with new runs and, with `sizes`, VCNs and sizes to match."""
    pairs_offset = struct.unpack_from("<H", record, at + 0x20)[0]
    pairs = encode_runs(runs)
    new = bytearray(record[at:at + pairs_offset]) + pairs
    new += bytes(-len(new) % 8)
    struct.pack_into("<I", new, 4, len(new))
    total = sum(n for _, n in runs)
    struct.pack_into("<Q", new, 0x18, total - 1)
    if sizes:
        struct.pack_into("<QQQ", new, 0x28, total * cluster, total * cluster, total * cluster)
    return replace_attribute(record, at, length, bytes(new))


def mft_runs(record):
    at, length = unnamed(record, 0x80)
    return at, length, decode_runs(record[at + struct.unpack_from("<H", record, at + 0x20)[0]:])


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    image = Image(sys.argv[1])
    for edit in sys.argv[2:]:
        name, _, value = edit.partition("=")
        record = image.read_record(0)
        if name == "mft-sparse-tail":
            at, length, runs = mft_runs(record)
            record = set_runs(record, at, length, runs + [(None, int(value))], image.cluster)
        elif name == "mft-overlap":
            at, length, runs = mft_runs(record)
            record = set_runs(record, at, length, [runs[0]] * int(value) + runs[1:], image.cluster)
        elif name == "mft-zero-run":
            at, length, runs = mft_runs(record)
            record = set_runs(record, at, length, [(runs[0][0], 0)] + runs, image.cluster, False)
        elif name == "mft-run-past-end":
            at, length, runs = mft_runs(record)
            record = set_runs(record, at, length, runs + [(image.clusters - 2, 16)], image.cluster)
        elif name == "bitmap-sparse":
            at, length = unnamed(record, 0xB0)
            if record[at + 8] == 0:
                raise SystemExit("the $MFT bitmap is resident")
            runs = decode_runs(record[at + struct.unpack_from("<H", record, at + 0x20)[0]:])
            stored = sum(n for _, n in runs)
            claimed = -(-int(value) // image.cluster)
            record = set_runs(record, at, length, runs + [(None, claimed - stored)], image.cluster)
            at, _ = unnamed(record, 0xB0)
            struct.pack_into("<QQQ", record, at + 0x28, claimed * image.cluster, int(value), int(value))
        elif name == "drop-bitmap":
            at, length = unnamed(record, 0xB0)
            record = replace_attribute(record, at, length, b"")
        elif name == "total-sectors":
            struct.pack_into("<Q", image.bytes, 0x28, int(value))
            continue
        elif name == "parent":
            number, parent = (int(v) for v in value.split(":"))
            record = image.read_record(number)
            for at, t, _ in attributes(record):
                if t == 0x30:
                    value_at = at + struct.unpack_from("<H", record, at + 0x14)[0]
                    struct.pack_into("<Q", record, value_at, parent | 1 << 48)
            image.write_record(number, record)
            continue
        elif name == "attributes-past-used":
            number = int(value)
            record = image.read_record(number)
            struct.pack_into("<H", record, 0x14, struct.unpack_from("<I", record, 0x18)[0] + 8)
            image.write_record(number, record)
            continue
        else:
            sys.exit("unknown edit: " + edit)
        image.write_record(0, record)
    image.save()


if __name__ == "__main__":
    main()
