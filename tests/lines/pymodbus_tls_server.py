#!/usr/bin/env python3
"""pymodbus_tls_server.py CERT KEY CA [1.2|1.3]: a Modbus/TCP Security device on 127.0.0.1 (a
free port) that asks every client for a certificate signed by CA and refuses one without;
MBAP frames inside TLS 1.2 or newer (at most the version given). Prints "ready PORT" once it
listens, then serves unit 1 until killed; or "no pymodbus"."""

import asyncio
import logging
import socket
import ssl
import sys
import threading
import time

try:
    from pymodbus.datastore import ModbusSequentialDataBlock as Block
    from pymodbus.datastore import ModbusServerContext, ModbusSlaveContext
    from pymodbus.server import StartTlsServer
    from pymodbus.transaction import ModbusSocketFramer
except ImportError as error:
    print("no pymodbus: %s" % error, flush=True)
    sys.exit(3)

cert, key, ca = sys.argv[1:4]
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.minimum_version = ssl.TLSVersion.TLSv1_2
if len(sys.argv) > 4 and sys.argv[4] == "1.2":
    context.maximum_version = ssl.TLSVersion.TLSv1_2
context.load_cert_chain(certfile=cert, keyfile=key)
context.load_verify_locations(cafile=ca)
context.verify_mode = ssl.CERT_REQUIRED

with socket.socket() as free:
    free.bind(("127.0.0.1", 0))
    port = free.getsockname()[1]


def announce():
    for _ in range(500):
        with socket.socket() as probe:
            probe.settimeout(0.1)
            try:
                probe.connect(("127.0.0.1", port))
                print("ready %d" % port, flush=True)
                return
            except OSError:
                time.sleep(0.02)


logging.disable()  # the tests judge by the answers, not by pymodbus's reports
store = ModbusSlaveContext(hr=Block(0, [0x1234, 0xFFFF, 0, 1, 40000]), zero_mode=True)
threading.Thread(target=announce, daemon=True).start()
StartTlsServer(context=ModbusServerContext(slaves={1: store}, single=False),
               address=("127.0.0.1", port), sslctx=context, framer=ModbusSocketFramer)
