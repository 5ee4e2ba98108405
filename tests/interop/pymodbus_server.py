#!/usr/bin/env python3
"""pymodbus's Modbus TCP or UDP server on 127.0.0.1, an outside device for the interop tests.

Usage: pymodbus_server.py tcp|udp PORT

Prints "ready PORT" once it answers, then serves unit 1 until it is killed; exits with 3 and
"no pymodbus" when the package is missing. The datastore is below, addresses from 0.
"""

import socket
import sys
import threading
import time

try:
    from pymodbus.datastore import (
        ModbusSequentialDataBlock,
        ModbusServerContext,
        ModbusSlaveContext,
    )
    from pymodbus.server import StartTcpServer, StartUdpServer
except ImportError as error:
    print("no pymodbus: %s" % error, flush=True)  # also a dependency of it missing
    sys.exit(3)

COILS = [1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 1, 0, 0, 0, 0, 1]
DISCRETE_INPUTS = [0, 1, 1, 0, 1, 0, 0, 1, 1, 0]
HOLDING_REGISTERS = [0x1234, 0xFFFF, 0, 1, 40000, 0x8000, 0x00FF, 12345]
INPUT_REGISTERS = [0xA000 + i for i in range(125)]

# A read of one holding register, to see the server answer over UDP.
PROBE = bytes([0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1])
READY_WITHIN_S = 10


def answers(kind, port):
    family = socket.SOCK_STREAM if kind == "tcp" else socket.SOCK_DGRAM
    with socket.socket(socket.AF_INET, family) as probe:
        probe.settimeout(0.1)
        try:
            probe.connect(("127.0.0.1", port))
            if kind == "udp":
                probe.send(PROBE)
                probe.recv(260)
            return True
        except OSError:
            return False


def announce(kind, port):
    deadline = time.monotonic() + READY_WITHIN_S
    while time.monotonic() < deadline:
        if answers(kind, port):
            print("ready %d" % port, flush=True)
            return
        time.sleep(0.02)
    print("not answering on port %d" % port, flush=True)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("tcp", "udp"):
        print(__doc__, file=sys.stderr)
        return 2
    kind, port = sys.argv[1], int(sys.argv[2])
    # zero_mode: request address N is datastore entry N, with no offset of one.
    store = ModbusSlaveContext(
        co=ModbusSequentialDataBlock(0, COILS),
        di=ModbusSequentialDataBlock(0, DISCRETE_INPUTS),
        hr=ModbusSequentialDataBlock(0, HOLDING_REGISTERS),
        ir=ModbusSequentialDataBlock(0, INPUT_REGISTERS),
        zero_mode=True,
    )
    context = ModbusServerContext(slaves={1: store}, single=False)
    threading.Thread(target=announce, args=(kind, port), daemon=True).start()
    start = StartTcpServer if kind == "tcp" else StartUdpServer
    start(context=context, address=("127.0.0.1", port))
    return 0


if __name__ == "__main__":
    sys.exit(main())
