#!/usr/bin/env python3
"""pymodbus_server.py tcp|udp (a free port) | rtu (a pseudo-terminal pair): prints
"ready PORT|PATH" once it answers, then serves unit 1 until killed, with a line "rx PDU" (hex
bytes, function code first) for each request it takes; or "no pymodbus".

Its counters, diagnostic register, event log and identity are set to known values below, since
pymodbus's server keeps them but never counts."""

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
    from pymodbus.device import ModbusControlBlock, ModbusDeviceIdentification
    from pymodbus.events import CommunicationRestartEvent, EnteredListenModeEvent, RemoteSendEvent
    from pymodbus.factory import ServerDecoder
    from pymodbus.server import StartSerialServer, StartTcpServer, StartUdpServer
    from pymodbus.transaction import ModbusRtuFramer
except ImportError as error:
    print("no pymodbus: %s" % error, flush=True)  # also a dependency of it missing
    sys.exit(3)

KIND = socket.SOCK_DGRAM if sys.argv[1] == "udp" else socket.SOCK_STREAM
READY = threading.Event()  # the probes before it are not the tests' requests


def ready(where):
    print("ready %s" % where, flush=True)
    READY.set()


def logged(decode):
    def decode_and_log(self, message):
        if READY.is_set():
            print("rx " + bytes(message).hex(" ").upper(), flush=True)
        return decode(self, message)
    return decode_and_log


ServerDecoder.decode = logged(ServerDecoder.decode)


def announce(port):
    for _ in range(400):
        with socket.socket(socket.AF_INET, KIND) as probe:
            probe.settimeout(0.1)
            try:
                probe.connect(("127.0.0.1", port))
                probe.send(bytes([0, 1, 0, 0, 0, 6, 1, 3, 0, 0, 0, 1]))  # holding register 0
                if probe.recv(260):
                    ready(port)
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
            ready(path)
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

control = ModbusControlBlock()  # one for the whole server
for name, value in [("BusMessage", 11), ("BusExceptionError", 13), ("SlaveMessage", 14),
                    ("SlaveNAK", 16), ("BusCharacterOverrun", 18)]:
    setattr(control.Counter, name, value)
control.setDiagnostic({0: True, 9: True})  # pymodbus sends bits 0-7, then 8-15: 01 02
# Oldest first; each counts as an event: the log reads 41 04 00, newest first. (pymodbus 3.0
# encodes its receive event as 40, a send event's bit, so there is none.)
for event in [CommunicationRestartEvent(), EnteredListenModeEvent(), RemoteSendEvent(read=True)]:
    control.addEvent(event)
# pymodbus 3.0 makes the event counter a ninth bit of the one-byte exception status, which then
# fails to pack; the eight outputs are the other counters' bits.
summary = type(control.Counter).summary
type(control.Counter).summary = lambda counters: summary(counters) & 0xFF
identity = ModbusDeviceIdentification(info_name={
    "VendorName": "PyVendor", "ProductCode": "PYC", "MajorMinorRevision": "3.0"})
if sys.argv[1] == "rtu":
    threading.Thread(target=announce_rtu, args=(ends + "client",), daemon=True).start()
    StartSerialServer(context=context, framer=ModbusRtuFramer, identity=identity,
                      port=ends + "server", baudrate=9600)
else:
    threading.Thread(target=announce, args=(port,), daemon=True).start()
    start = StartUdpServer if KIND == socket.SOCK_DGRAM else StartTcpServer
    start(context=context, identity=identity, address=("127.0.0.1", port))
