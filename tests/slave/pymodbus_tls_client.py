#!/usr/bin/env python3
"""pymodbus_tls_client.py PORT CA CERT KEY ACTION...: pymodbus's Modbus/TCP Security client on
127.0.0.1:PORT, checking the device against CA and showing CERT (with KEY), or none for "-".
Each action is one request to unit 1 and one line of output: read:ADDR:COUNT (function 3,
"read ADDR: V1 V2 ..."), write:ADDR:VALUE (6) or writes:ADDR:V1,V2,... (16), "... ok"; or
"... exception N", "... no answer". "no connection" exits 1; without pymodbus, exit 3."""

import logging
import socket
import ssl
import sys

try:
    from pymodbus.client import ModbusTlsClient
    from pymodbus.pdu import ExceptionResponse
    from pymodbus.transaction import ModbusSocketFramer
except ImportError as error:
    print("no pymodbus: %s" % error, flush=True)
    sys.exit(3)


class TlsClient(ModbusTlsClient):
    """pymodbus 3.0 waits in select() for bytes TLS has often taken off the socket already:
    they are read here from the TLS socket itself; framing and decoding stay pymodbus's."""

    def recv(self, size):
        self.socket.settimeout(self.params.timeout)
        data = b""
        try:
            while len(data) < (size or 1):
                chunk = self.socket.recv((size or 4096) - len(data))
                if not chunk:
                    break
                data += chunk
        except (socket.timeout, ssl.SSLError, OSError):
            pass
        return data


port, ca, cert, key = sys.argv[1:5]
context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
context.minimum_version = ssl.TLSVersion.TLSv1_2
context.load_verify_locations(cafile=ca)
if cert != "-":
    context.load_cert_chain(certfile=cert, keyfile=key)
logging.disable()  # the test judges by the lines printed here
# Modbus/TCP Security carries whole MBAP frames: pymodbus's own TLS framer leaves the header out.
client = TlsClient("127.0.0.1", port=int(port), sslctx=context,
                   framer=ModbusSocketFramer, timeout=3, retries=0)
if not client.connect():
    print("no connection", flush=True)
    sys.exit(1)

for action in sys.argv[5:]:
    kind, address, rest = action.split(":")
    address = int(address)
    line = "%s %d: no answer" % (kind, address)
    try:  # pymodbus raises where the device closed the connection or TLS failed under it
        if kind == "read":
            answer = client.read_holding_registers(address, int(rest), slave=1)
        elif kind == "write":
            answer = client.write_register(address, int(rest), slave=1)
        else:
            answer = client.write_registers(address, [int(v) for v in rest.split(",")], slave=1)
        if isinstance(answer, ExceptionResponse):
            line = "%s %d: exception %d" % (kind, address, answer.exception_code)
        elif answer is not None and not answer.isError():
            text = " ".join(str(v) for v in answer.registers) if kind == "read" else "ok"
            line = "%s %d: %s" % (kind, address, text)
    except Exception:  # pylint: disable=broad-except
        pass
    print(line, flush=True)
client.close()
