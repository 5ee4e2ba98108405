#!/usr/bin/env python3
"""pymodbus_tls_client.py [--tls1.2] PORT CA CERT KEY ACTION...: pymodbus's Modbus/TCP Security
client on 127.0.0.1:PORT, checking the device against CA and showing CERT (with KEY) as its own;
CERT "-" shows none. TLS 1.2 or 1.3, or only 1.2 with --tls1.2. Each action is one request to unit 1, and one line of output:
  read:ADDR:COUNT          function 3  -> "read ADDR: V1 V2 ..."
  write:ADDR:VALUE         function 6  -> "write ADDR: ok"
  writes:ADDR:V1,V2,...    function 16 -> "writes ADDR: ok"
or "... exception N" for an exception answer and "... no answer" when none came. A client that
cannot connect prints "no connection" and exits 1; without pymodbus "no pymodbus", exit 3."""

import logging
import socket
import ssl
import sys

try:
    from pymodbus.client import ModbusTlsClient
    from pymodbus.exceptions import ConnectionException
    from pymodbus.pdu import ExceptionResponse
    from pymodbus.transaction import ModbusSocketFramer
except ImportError as error:
    print("no pymodbus: %s" % error, flush=True)
    sys.exit(3)


class TlsClient(ModbusTlsClient):
    """pymodbus 3.0 waits in select() for the rest of an answer, which TLS has often taken off
    the socket already with its first bytes: the read then ends short at the time-out. The
    bytes are read here from the TLS socket itself; framing and decoding stay pymodbus's."""

    def recv(self, size):
        if not self.socket:
            raise ConnectionException(str(self))
        self.socket.settimeout(self.params.timeout)
        data = b""
        while len(data) < (size or 1):
            try:
                chunk = self.socket.recv((size or 4096) - len(data))
            except (socket.timeout, ssl.SSLError, OSError):
                break
            if not chunk:
                break
            data += chunk
        return data

args = sys.argv[1:]
only12 = args[:1] == ["--tls1.2"]
if only12:
    args = args[1:]
port, ca, cert, key = args[:4]
actions = args[4:]
context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
context.minimum_version = ssl.TLSVersion.TLSv1_2
if only12:
    context.maximum_version = ssl.TLSVersion.TLSv1_2
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


def outcome(name, address, answer, text):
    if isinstance(answer, ExceptionResponse):
        return "%s %d: exception %d" % (name, address, answer.exception_code)
    if answer is None or answer.isError():
        return "%s %d: no answer" % (name, address)
    return "%s %d: %s" % (name, address, text(answer))


for action in actions:
    kind, address, rest = action.split(":")
    address = int(address)
    try:
        if kind == "read":
            answer = client.read_holding_registers(address, int(rest), slave=1)
            line = outcome(kind, address, answer,
                           lambda a: " ".join(str(v) for v in a.registers))
        elif kind == "write":
            answer = client.write_register(address, int(rest), slave=1)
            line = outcome(kind, address, answer, lambda a: "ok")
        else:
            values = [int(v) for v in rest.split(",")]
            answer = client.write_registers(address, values, slave=1)
            line = outcome(kind, address, answer, lambda a: "ok")
    except Exception:  # pylint: disable=broad-except
        # pymodbus raises where the device closed the connection or TLS failed under it.
        line = "%s %d: no answer" % (kind, address)
    print(line, flush=True)
client.close()
