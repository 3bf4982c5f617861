#!/usr/bin/env python3
"""Bus traces against python-can and can-utils: random frames (both
identifier kinds, remote, CAN FD with its flags, every length, several
channels, sent and received, error frames, times across days) written by
python-can as a candump log, as ASC and as BLF are read by the ombrix program and
compared frame by frame with what python-can reads from the same files;
the program's own candump and ASC output is read back by python-can; and
can-utils' log2asc and asc2log convert between the two for a second
opinion. ASC keeps times from the start of its measurement, so ASC times
compare from the first frame. Last, a trace decoded to CSV by the program
against canmatrix decoding the same frames: every physical value the same
decimal number as canmatrix's (which computes in decimal arithmetic), and
every value description the same text.

    traces_agree.py OMBRIX_PROGRAM [FRAMES]
"""
import os
import random
import subprocess
import sys
import tempfile

import csv
import decimal
import logging

import can

PROGRAM = sys.argv[1]
COUNT = int(sys.argv[2]) if len(sys.argv) > 2 else 400


def random_messages(seed):
    r = random.Random(seed)
    t = 1700000000.0 + r.random()
    messages = []
    for _ in range(COUNT):
        t += r.choice([0.000001, 0.001, 0.25, 3.0, 7200.0, 90000.0]) * r.random()
        t = round(t, 6)
        channel = r.randrange(3)
        if r.random() < 0.03:
            messages.append(can.Message(timestamp=t, is_error_frame=True, channel=channel))
            continue
        fd = r.random() < 0.35
        extended = r.random() < 0.4
        remote = not fd and r.random() < 0.1
        length = r.choice([0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64]) if fd \
            else r.randrange(9)
        messages.append(can.Message(
            timestamp=t, arbitration_id=r.randrange(0x20000000 if extended else 0x800),
            is_extended_id=extended, is_remote_frame=remote, is_fd=fd,
            bitrate_switch=fd and r.random() < 0.5, error_state_indicator=fd and r.random() < 0.3,
            dlc=length, data=None if remote else bytes(r.randrange(256) for _ in range(length)),
            channel=channel, is_rx=r.random() < 0.7))
    return messages


def channel_name(channel):
    return channel if isinstance(channel, str) else f"can{channel}"


def canonical(messages, relative, direction=True, remote_length=True, fd_flags=True):
    """(time in µs, channel, id, extended, kind, data) of each frame."""
    rows = []
    start = messages[0].timestamp if messages and relative else 0.0
    for m in messages:
        when = round((m.timestamp - start) * 1e6)
        if m.is_error_frame:
            # python-can reads a candump error frame without its channel.
            rows.append((when, "error"))
            continue
        # CAN FD has no remote frames (ISO 11898-1: the RRS bit is always
        # dominant): an FD frame of no bytes is a data frame, which
        # python-can's ASC reader takes for a remote one.
        remote = m.is_remote_frame and not m.is_fd
        kind = ("fd" if m.is_fd else "classic") + \
            (" brs" if m.bitrate_switch and fd_flags else "") + \
            (" esi" if m.error_state_indicator and fd_flags else "") + (" remote" if remote else "")
        if direction:
            kind += "" if m.is_rx else " tx"
        data = "" if remote else bytes(m.data).hex()
        if remote and remote_length:
            data = f"R{m.dlc}"
        rows.append((when, channel_name(m.channel), m.arbitration_id, m.is_extended_id, kind, data))
    return rows


def read_with_python_can(path, **options):
    if path.endswith(".asc"):
        return list(can.ASCReader(path, relative_timestamp=False))
    return list(can.LogReader(path, **options))


def agree_within_a_microsecond(name, mine, theirs):
    """BLF times are whole nanoseconds from a start in milliseconds, which
    python-can adds up in floating point: times may differ by a rounding."""
    close = len(mine) == len(theirs) and all(
        abs(a[0] - b[0]) <= 1 and a[1:] == b[1:] for a, b in zip(mine, theirs))
    return agree(name, mine, mine if close else theirs)


def read_with_ombrix(path, extra=()):
    """What the program reads, as the candump log it converts the trace to."""
    text = subprocess.run([PROGRAM, "trace", "convert", path, "-o", "-", "--out-format", "candump",
                           *extra], check=True, capture_output=True, text=True).stdout
    with tempfile.NamedTemporaryFile("w", suffix=".log", delete=False) as copy:
        copy.write(text)
    try:
        return list(can.LogReader(copy.name))
    finally:
        os.unlink(copy.name)


def agree(name, mine, theirs):
    if mine == theirs:
        print(f"traces agree: {name}: {len(mine)} frames")
        return True
    for k, (a, b) in enumerate(zip(mine, theirs)):
        if a != b:
            print(f"traces differ: {name}: frame {k}: ombrix {a} python-can/can-utils {b}")
            break
    else:
        print(f"traces differ: {name}: {len(mine)} frames against {len(theirs)}")
    return False


def random_database(r):
    """Two messages of integer signals over 8 bytes, both byte orders, every
    length, with the factors and offsets real databases have."""
    lines = ['VERSION ""', "", "NS_ :", "", "BS_:", "", "BU_: A", ""]
    values = []
    for message, ident in (("Alpha", 0x101), ("Beta", 0x18FF0001 | 0x80000000)):
        lines.append(f"BO_ {ident} {message}: 8 A")
        used = 0
        for k in range(6):
            size = r.choice([1, 4, 8, 12, 16, 24, 32, 64 - used]) if used < 64 else 0
            size = min(size, 64 - used)
            if size <= 0:
                break
            intel = r.random() < 0.5
            start = used if intel else used // 8 * 8 + 7 - used % 8
            used += size
            factor = r.choice(["1", "0.1", "0.01", "0.05", "0.25", "-0.5", "0.001", "1e-05", "10"])
            offset = r.choice(["0", "-40", "-273.15", "12.345", "1000000"])
            lines.append(f" SG_ S{k} : {start}|{size}@{1 if intel else 0}"
                         f"{r.choice('+-')} ({factor},{offset}) [0|0] \"u\" A")
            if k == 0 and size <= 8:
                values.append(f'VAL_ {ident} S0 0 "Off" 1 "On" ;')
        lines.append("")
    return "\n".join(lines + values) + "\n"


def decoded_rows_agree(folder):
    """The program's CSV of a random trace, value by value against canmatrix."""
    import canmatrix.formats
    r = random.Random(5)
    text = random_database(r)
    dbc, log = os.path.join(folder, "random.dbc"), os.path.join(folder, "decode.log")
    with open(dbc, "w") as out:
        out.write(text)
    with open(log, "w") as out:
        for k in range(2000):
            ident = r.choice(["101", "18FF0001", "102"])
            data = bytes(r.choice([0, 0xFF, r.randrange(256)]) for _ in range(8))
            out.write(f"({1700000000 + k / 1000:.6f}) can0 {ident}#{data.hex().upper()}\n")
    rows = subprocess.run([PROGRAM, "trace", "decode", log, "--dbc", dbc, "-o", "-"], check=True,
                          capture_output=True, text=True).stdout.splitlines()
    matrix = canmatrix.formats.loads_flat(text, import_type="dbc")
    header = next(csv.reader(rows[:1]))
    frames = [m for m in can.LogReader(log) if m.arbitration_id != 0x102]
    if len(rows) - 1 != len(frames):
        print(f"decoded rows differ: {len(rows) - 1} rows for {len(frames)} frames")
        return False
    for row, message in zip(csv.reader(rows[1:]), frames):
        frame = matrix.frame_by_id(canmatrix.ArbitrationId(message.arbitration_id,
                                                           extended=message.is_extended_id))
        decoded = frame.decode(bytearray(message.data))
        for column, cell in zip(header[4:], row[4:]):
            name, signal = column.split(" ")[0].split(".")
            if name != frame.name:
                if cell != "":
                    print(f"decoded rows differ: {column} holds {cell} in a {frame.name} row")
                    return False
                continue
            theirs = decoded[signal]
            if isinstance(theirs.named_value, str):
                same = cell == theirs.named_value
            else:
                same = decimal.Decimal(cell) == decimal.Decimal(theirs.phys_value)
            if not same:
                print(f"decoded rows differ: {frame.name}.{signal} of {message.data.hex()}: "
                      f"ombrix {cell}, canmatrix {theirs.phys_value} ({theirs.named_value})")
                return False
    print(f"decoded rows agree with canmatrix: {len(frames)} frames, {len(header) - 4} signals")
    return True


def main():
    os.environ["TZ"] = "UTC"
    logging.getLogger("can").setLevel(logging.ERROR)  # python-can's TRC writer warns per frame
    ok = True
    with tempfile.TemporaryDirectory() as folder:
        path = lambda name: os.path.join(folder, name)  # noqa: E731
        messages = random_messages(7)
        for writer, name in ((can.CanutilsLogWriter, "py.log"), (can.ASCWriter, "py.asc"),
                             (can.BLFWriter, "py.blf")):
            w = writer(path(name))
            for m in messages:
                w.on_message_received(m)
            w.stop()
        # What each side reads from python-can's files.
        ok &= agree("candump log written by python-can",
                    canonical(read_with_ombrix(path("py.log")), False),
                    canonical(read_with_python_can(path("py.log")), False))
        ok &= agree("ASC written by python-can",
                    canonical(read_with_ombrix(path("py.asc")), True),
                    canonical(read_with_python_can(path("py.asc")), True))
        ok &= agree_within_a_microsecond("BLF written by python-can",
                                         canonical(read_with_ombrix(path("py.blf")), False),
                                         canonical(read_with_python_can(path("py.blf")), False))
        # TRC: python-can writes classic data frames only (no FD, remote or
        # error frames), times in milliseconds, and numbers buses from 1,
        # which its reader keeps.
        from can.io.trc import TRCFileVersion
        for version, name in ((TRCFileVersion.V2_1, "py21.trc"), (TRCFileVersion.V1_0, "py10.trc")):
            w = can.TRCWriter(path(name))
            w.file_version = version
            for m in messages:
                w.on_message_received(m)
            w.stop()
            theirs = list(can.TRCReader(path(name)))
            for m in theirs:
                m.channel -= 1
            ok &= agree(f"TRC {name[2]}.{name[3]} written by python-can",
                        canonical(read_with_ombrix(path(name)), True, version != TRCFileVersion.V1_0),
                        canonical(theirs, True, version != TRCFileVersion.V1_0))
        # The program's own files, read by python-can.
        for name in ("ombrix.log", "ombrix.asc"):
            subprocess.run([PROGRAM, "trace", "convert", path("py.log"), "-o", path(name)],
                           check=True)
        # python-can's own candump writer drops a remote frame's length.
        ok &= agree("candump log written by ombrix",
                    canonical(messages, False, remote_length=False),
                    canonical(read_with_python_can(path("ombrix.log")), False,
                              remote_length=False))
        ok &= agree("ASC written by ombrix", canonical(messages, True, remote_length=False),
                    canonical(read_with_python_can(path("ombrix.asc")), True,
                              remote_length=False))
        # can-utils: log2asc of the program's log, read by the program;
        # asc2log of the program's ASC. Neither keeps the direction, and
        # log2asc writes no length for remote frames.
        with open(path("log2asc.asc"), "w") as out:
            subprocess.run(["log2asc", "-I", path("ombrix.log"), "can0", "can1", "can2"],
                           check=True, stdout=out)
        ok &= agree("ASC written by log2asc",
                    canonical(read_with_ombrix(path("log2asc.asc")), True, False, False),
                    canonical(messages, True, False, False))
        with open(path("asc2log.log"), "w") as out:
            subprocess.run(["asc2log", "-I", path("ombrix.asc")], check=True, stdout=out,
                           stderr=subprocess.DEVNULL)
        ok &= agree("candump log written by asc2log from ombrix's ASC",
                    canonical(read_with_python_can(path("asc2log.log")), True, False, False),
                    canonical(messages, True, False, False))
        # candump's screen output, as can-utils' log2long prints it: no
        # direction and no CAN FD flags.
        with open(path("ombrix.log")) as log, open(path("long.txt"), "w") as out:
            subprocess.run(["log2long"], check=True, stdin=log, stdout=out)
        ok &= agree("candump screen output written by log2long",
                    canonical(read_with_ombrix(path("long.txt"), ["--in-format", "candump"]), False,
                              False, False, False),
                    canonical(messages, False, False, False, False))
        # A filter takes the frames it names and no others.
        chosen = read_with_ombrix(path("py.log"), ["--channel", "can1", "--id", "0-0x3FF"])
        expected = [m for m in read_with_python_can(path("py.log"))
                    if channel_name(m.channel) == "can1" and not m.is_error_frame
                    and m.arbitration_id <= 0x3FF]
        ok &= agree("filtered by channel and identifier", canonical(chosen, False),
                    canonical(expected, False))
        ok &= decoded_rows_agree(folder)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
