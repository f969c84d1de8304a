#!/usr/bin/env python3
"""A stand-in for a MariaDB server on a Unix socket that loses the connection
while the client fetches rows: it lets one client log in, prepare and run
the statement, sends the result's columns (and, for "row", one row), and
closes. Usage: dropping_server.py SOCKET fetch|row; SOCKET.ready appears
once it listens."""
import os
import socket
import struct
import sys

path, stage = sys.argv[1], sys.argv[2]
if os.path.exists(path):
    os.unlink(path)
listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
listener.bind(path)
listener.listen(1)
open(path + ".ready", "w").close()
client, _ = listener.accept()


def send(seq, payload):
    client.sendall(struct.pack("<I", len(payload))[:3] + bytes([seq]) + payload)


def receive():
    head = client.recv(4)
    size = head[0] | head[1] << 8 | head[2] << 16
    data = b""
    while len(data) < size:
        chunk = client.recv(size - len(data))
        if not chunk:
            break
        data += chunk
    return data


def text(b):  # a length-encoded string of under 251 bytes
    return bytes([len(b)]) + b


def column(name, kind):
    return (text(b"def") + text(b"hlstats") + text(b"t") + text(b"t") + text(name) +
            text(name) + b"\x0c" + struct.pack("<HIBHB", 33, 64, kind, 0, 0) + b"\x00\x00")


EOF_PACKET = b"\xfe\x00\x00\x02\x00"
COLUMNS = ((b"uniqueId", 253), (b"skill", 8), (b"last_event", 8))  # VAR_STRING, LONGLONG

# Handshake v10: protocol 4.1, secure connection, plugin auth, no TLS.
capabilities = 0x1 | 0x8 | 0x200 | 0x2000 | 0x8000 | 0x80000
send(0, b"\x0a" + b"5.5.5-10.11.0-MariaDB\x00" + struct.pack("<I", 1) + b"abcdefgh\x00" +
     struct.pack("<H", capabilities & 0xFFFF) + b"\x21" + struct.pack("<H", 2) +
     struct.pack("<H", capabilities >> 16) + b"\x15" + b"\x00" * 10 + b"ijklmnopqrst\x00" +
     b"mysql_native_password\x00")
receive()  # the login: any is fine
send(2, b"\x00\x00\x00\x02\x00\x00\x00")

receive()  # COM_STMT_PREPARE: statement 1, 3 columns, 2 parameters
send(1, b"\x00" + struct.pack("<IHHBH", 1, 3, 2, 0, 0))
seq = 2
for payload in [column(b"?", 253)] * 2 + [EOF_PACKET] + [column(*c) for c in COLUMNS] + [EOF_PACKET]:
    send(seq, payload)
    seq += 1

receive()  # COM_STMT_EXECUTE: a result of 3 columns
seq = 1
for payload in [b"\x03"] + [column(*c) for c in COLUMNS] + [EOF_PACKET]:
    send(seq, payload)
    seq += 1
if stage == "row":
    send(seq, b"\x00\x00" + text(b"STEAM_0:0:1") + struct.pack("<qq", 1000, 5))
client.close()
