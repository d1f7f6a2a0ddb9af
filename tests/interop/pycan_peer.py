"""The independent side of canhost's log format tests: python-can writes and reads BLF and TRC.

    pycan_peer.py write blf|trc FILE   writes a generated stream with python-can's writer and
                                       prints what it gave the writer
    pycan_peer.py read FILE            reads FILE with python-can's reader and prints what it got

One message a line: microseconds since the first message, the file's channel number (counted
from 1, as BLF and TRC number them), identifier (hex), flags (E extended, R remote, F CAN FD,
B bit-rate switch, S error state, X error frame, T transmitted; - for none), length, data (hex;
- for none). Error frames print identifier 0 and length 0: their details are not compared.
python-can 4.1's TRC writer logs and drops CAN FD, remote and error frames: they are not given
to it. Exits with 3 when python-can cannot be imported.
"""
import logging
import sys

try:
    import can
except ImportError as error:  # the test skips, naming this
    print(f"python-can cannot be imported: {error}", file=sys.stderr)
    sys.exit(3)

logging.disable(logging.CRITICAL)

FIRST = 1700000000.123456  # a date, so the files carry a start time


def stream():
    """Classic and CAN FD, standard and extended, remote and error frames on three channels."""
    messages = []
    for i in range(240):
        time = FIRST + i * 0.001234 + (i % 7) * 0.000001
        kind = i % 8
        channel = i % 3
        ident = (0x100 + i) if kind in (0, 2, 3, 5) else (0x18FE0000 + i)
        length = [8, 3, 0, 12, 64, 8, 0, 5][kind]
        data = bytes((i * 7 + b) % 256 for b in range(length))
        message = can.Message(
            timestamp=time,
            channel=channel,
            arbitration_id=ident,
            is_extended_id=ident > 0x7FF,
            is_remote_frame=kind == 2,
            is_error_frame=kind == 6,
            is_fd=kind in (3, 4, 5),
            bitrate_switch=kind in (3, 4),
            error_state_indicator=kind == 4,
            is_rx=i % 5 != 0 or kind == 6,
            dlc=3 if kind == 2 else length,
            data=b"" if kind in (2, 6) else data,
        )
        messages.append(message)
    return messages


def line(message, first, channel):
    flags = ""
    if message.is_error_frame:
        flags = "X"
        return f"{round((message.timestamp - first) * 1e6)} {channel} 0 X 0 -"
    flags += "E" if message.is_extended_id else ""
    flags += "R" if message.is_remote_frame else ""
    flags += "F" if message.is_fd else ""
    flags += "B" if message.bitrate_switch else ""
    flags += "S" if message.error_state_indicator else ""
    flags += "" if message.is_rx else "T"
    data = bytes(message.data).hex().upper() if not message.is_remote_frame else ""
    return (
        f"{round((message.timestamp - first) * 1e6)} {channel} {message.arbitration_id:X} "
        f"{flags or '-'} {message.dlc} {data or '-'}"
    )


def write(kind, path):
    messages = stream()
    if kind == "trc":
        messages = [m for m in messages if not (m.is_fd or m.is_remote_frame or m.is_error_frame)]
        writer = can.TRCWriter(path)
    else:
        writer = can.BLFWriter(path)
    for message in messages:
        writer.on_message_received(message)
    writer.stop()
    for message in messages:
        print(line(message, messages[0].timestamp, message.channel + 1))


def read(path):
    reader = can.LogReader(path)
    messages = list(reader)
    for message in messages:
        # BLF's reader counts channels from 0, TRC's as the file does.
        channel = message.channel + 1 if path.lower().endswith(".blf") else message.channel
        print(line(message, messages[0].timestamp, channel))


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(sys.argv[2], sys.argv[3])
    else:
        read(sys.argv[2])
