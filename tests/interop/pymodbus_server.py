#!/usr/bin/env python3
"""pymodbus's Modbus server on 127.0.0.1: pymodbus_server.py tcp|udp PORT (0: a free one).

Prints "ready PORT" once it answers and serves unit 1 until killed, or "no pymodbus" and exits.
"""

import logging
import socket
import sys
import threading
import time

try:
    from pymodbus.datastore import ModbusSequentialDataBlock as Block
    from pymodbus.datastore import ModbusServerContext, ModbusSlaveContext
    from pymodbus.server import StartTcpServer, StartUdpServer
except ImportError as error:
    print("no pymodbus: %s" % error, flush=True)  # also a dependency of it missing
    sys.exit(3)

KIND = socket.SOCK_DGRAM if sys.argv[1] == "udp" else socket.SOCK_STREAM


def announce(port):
    for _ in range(400):
        with socket.socket(socket.AF_INET, KIND) as probe:
            probe.settimeout(0.1)
            try:
                probe.connect(("127.0.0.1", port))
                probe.send(bytes([0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1]))  # holding register 0
                if probe.recv(260):
                    print("ready %d" % port, flush=True)
                    return
            except OSError:
                time.sleep(0.02)


port = int(sys.argv[2])
if port == 0:
    with socket.socket(socket.AF_INET, KIND) as free:
        free.bind(("127.0.0.1", 0))
        port = free.getsockname()[1]
logging.disable()  # pymodbus reports every client that leaves; the tests judge by the answers
# zero_mode: request address N is datastore entry N, with no offset of one.
store = ModbusSlaveContext(
    co=Block(0, [1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 1, 0, 0, 0, 0, 1]),
    di=Block(0, [0, 1, 1, 0, 1, 0, 0, 1, 1, 0]),
    hr=Block(0, [0x1234, 0xFFFF, 0, 1, 40000, 0x8000, 0x00FF, 12345]),
    ir=Block(0, [0xA000 + i for i in range(125)]),
    zero_mode=True,
)
threading.Thread(target=announce, args=(port,), daemon=True).start()
start = StartUdpServer if KIND == socket.SOCK_DGRAM else StartTcpServer
start(context=ModbusServerContext(slaves={1: store}, single=False), address=("127.0.0.1", port))
