#!/usr/bin/env python3
"""pymodbus_server.py tcp|udp (a free port) | rtu (a pseudo-terminal pair): prints
"ready PORT|PATH" once it answers, then serves unit 1 until killed; or "no pymodbus"."""

import ctypes
import logging
import os
import select
import socket
import subprocess
import sys
import threading
import time
import tty

try:
    from pymodbus.datastore import ModbusSequentialDataBlock as Block
    from pymodbus.datastore import ModbusServerContext, ModbusSlaveContext
    from pymodbus.server import StartSerialServer, StartTcpServer, StartUdpServer
    from pymodbus.transaction import ModbusRtuFramer
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


def announce_rtu(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    for _ in range(100):
        os.write(fd, bytes([1, 3, 0, 0, 0, 1, 0x84, 0x0A]))  # holding register 0
        if select.select([fd], [], [], 0.2)[0]:
            time.sleep(0.2)  # the answers to earlier probes too, before the tests ask
            os.read(fd, 4096)
            os.close(fd)
            print("ready " + path, flush=True)
            return


logging.disable()  # pymodbus reports every client that leaves; the tests judge by the answers
if sys.argv[1] == "rtu":
    ends = "/tmp/vornak-pymodbus-%d-" % os.getpid()
    # socat ends with this script, also when the test kills it.
    subprocess.Popen(["socat", "pty,raw,echo=0,link=%sserver" % ends,
                      "pty,raw,echo=0,link=%sclient" % ends],
                     preexec_fn=lambda: ctypes.CDLL(None).prctl(1, 15))
    while not (os.path.exists(ends + "server") and os.path.exists(ends + "client")):
        time.sleep(0.01)
with socket.socket(socket.AF_INET, KIND) as free:
    free.bind(("127.0.0.1", 0))
    port = free.getsockname()[1]
# zero_mode: request address N is datastore entry N, with no offset of one.
store = ModbusSlaveContext(
    co=Block(0, [1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 1, 0, 0, 0, 0, 1]),
    di=Block(0, [0, 1, 1, 0, 1, 0, 0, 1, 1, 0]),
    hr=Block(0, [0x1234, 0xFFFF, 0, 1, 40000, 0x8000, 0x00FF, 12345]),
    ir=Block(0, [0xA000 + i for i in range(125)]),
    zero_mode=True,
)
context = ModbusServerContext(slaves={1: store}, single=False)
if sys.argv[1] == "rtu":
    threading.Thread(target=announce_rtu, args=(ends + "client",), daemon=True).start()
    StartSerialServer(context=context, framer=ModbusRtuFramer, port=ends + "server", baudrate=9600)
else:
    threading.Thread(target=announce, args=(port,), daemon=True).start()
    start = StartUdpServer if KIND == socket.SOCK_DGRAM else StartTcpServer
    start(context=context, address=("127.0.0.1", port))
