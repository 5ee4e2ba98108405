#!/usr/bin/env python3
"""pymodbus_profiles.py rtu PATH | tcp PORT | udp PORT: reads the points of profiles/orders.toml
(unit 1) and profiles/other.toml (unit 2) from vornak-slave through pymodbus's own client and
decoder, and prints "CASE RESULT" for each case; "no pymodbus" when it is missing.

A result is the decoded value, "ex N" for exception N, or "none" when no answer came."""

import signal
import sys
import time

try:
    from pymodbus.client import ModbusSerialClient, ModbusTcpClient, ModbusUdpClient
    from pymodbus.constants import Endian
    from pymodbus.payload import BinaryPayloadDecoder
    from pymodbus.pdu import ExceptionResponse
except ImportError as error:
    print("no pymodbus: %s" % error, flush=True)
    sys.exit(3)

# (byte order in a word, word order) for each of vornak's names.
ORDERS = {
    "ABCD": (Endian.Big, Endian.Big),
    "CDAB": (Endian.Big, Endian.Little),
    "BADC": (Endian.Little, Endian.Big),
    "DCBA": (Endian.Little, Endian.Little),
}


def answer(response, take):
    if response is None or isinstance(response, Exception):
        return "none"
    if isinstance(response, ExceptionResponse) or response.isError():
        code = getattr(response, "exception_code", None)
        return "ex %d" % code if code is not None else "none"
    return take(response)


def decoded(order, kind):
    byteorder, wordorder = ORDERS[order]

    def take(response):
        d = BinaryPayloadDecoder.fromRegisters(response.registers, byteorder=byteorder,
                                               wordorder=wordorder)
        value = getattr(d, "decode_" + kind)()
        if kind == "string":
            return value.decode()
        if isinstance(value, float):
            return "%g" % value
        return str(value)

    return take


def cases(c):
    hr = c.read_holding_registers
    yield "f_abcd", answer(hr(0, 2, slave=1), decoded("ABCD", "32bit_float"))
    yield "f_cdab", answer(hr(2, 2, slave=1), decoded("CDAB", "32bit_float"))
    yield "f_badc", answer(hr(4, 2, slave=1), decoded("BADC", "32bit_float"))
    yield "f_dcba", answer(hr(6, 2, slave=1), decoded("DCBA", "32bit_float"))
    yield "hole", answer(hr(0, 10, slave=1), lambda r: "read")
    yield "i32_dcba", answer(hr(10, 2, slave=1), decoded("DCBA", "32bit_int"))
    yield "u64_cdab", answer(hr(12, 4, slave=1), decoded("CDAB", "64bit_uint"))
    yield "f64_abcd", answer(hr(16, 4, slave=1), decoded("ABCD", "64bit_float"))
    yield "name", answer(hr(20, 3, slave=1), lambda r: BinaryPayloadDecoder.fromRegisters(
        r.registers, byteorder=Endian.Big).decode_string(6).decode())
    yield "bits", answer(c.read_input_registers(0, 1, slave=1), lambda r: "%04X" % r.registers[0])
    yield "energy", answer(c.read_input_registers(1, 2, slave=1), decoded("ABCD", "32bit_uint"))
    yield "coils", answer(c.read_coils(0, 2, slave=1), lambda r: "%d%d" % tuple(r.bits[:2]))
    yield "write_fixed", answer(c.write_register(30, 8, slave=1), lambda r: "ok")
    yield "write_f_abcd", answer(c.write_registers(0, [0x4049, 0x0FDB], slave=1), lambda r: "ok")
    yield "f_abcd_again", answer(hr(0, 2, slave=1), decoded("ABCD", "32bit_float"))
    yield "other_setpoint", answer(hr(100, 1, slave=2), lambda r: str(r.registers[0]))
    yield "other_at_0", answer(hr(0, 1, slave=2), lambda r: "read")
    yield "orders_at_100", answer(hr(100, 1, slave=1), lambda r: "read")
    waves = []
    for _ in range(12):
        waves.append(answer(c.read_input_registers(0, 2, slave=2),
                            decoded("CDAB", "32bit_float")))
        time.sleep(0.1)
    yield "wave", " ".join(waves)


def main():
    signal.alarm(60)
    kind, where = sys.argv[1], sys.argv[2]
    if kind == "tcp":
        client = ModbusTcpClient("127.0.0.1", port=int(where), timeout=1, retries=0)
    elif kind == "udp":
        client = ModbusUdpClient("127.0.0.1", port=int(where), timeout=1, retries=0)
    else:
        client = ModbusSerialClient(port=where, baudrate=9600, timeout=1, retries=0)
    if not client.connect():
        print("no connection to " + where, flush=True)
        sys.exit(1)
    for name, result in cases(client):
        print("%s %s" % (name, result), flush=True)
    client.close()


if __name__ == "__main__":
    main()
