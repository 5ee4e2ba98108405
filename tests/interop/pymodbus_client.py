#!/usr/bin/env python3
"""pymodbus_client.py tcp PORT | rtu PATH | ascii PATH, then case names: asks vornak-slave (on
127.0.0.1:PORT or the pseudo-terminal PATH, unit 1) through pymodbus's own client, one case after
the other on one connection, and prints "CASE RESULT" for each; or "no pymodbus" when it is
missing.

A result is what came back: words as four hex digits, "ex N" for exception N, "none" when no
answer came. A case that reads a counter clears the counters first and counts its own requests,
so what it prints does not depend on the cases before it."""

import signal
import struct
import sys
import time

try:
    from pymodbus.client import ModbusSerialClient, ModbusTcpClient
    from pymodbus.diag_message import (
        ChangeAsciiInputDelimiterRequest,
        ClearCountersRequest,
        ClearOverrunCountRequest,
        ForceListenOnlyModeRequest,
        RestartCommunicationsOptionRequest,
        ReturnBusCommunicationErrorCountRequest,
        ReturnBusExceptionErrorCountRequest,
        ReturnBusMessageCountRequest,
        ReturnDiagnosticRegisterRequest,
        ReturnIopOverrunCountRequest,
        ReturnQueryDataRequest,
        ReturnSlaveBusCharacterOverrunCountRequest,
        ReturnSlaveBusyCountRequest,
        ReturnSlaveMessageCountRequest,
        ReturnSlaveNAKCountRequest,
        ReturnSlaveNoResponseCountRequest,
    )
    from pymodbus.file_message import (
        FileRecord,
        ReadFifoQueueRequest,
        ReadFifoQueueResponse,
        ReadFileRecordRequest,
        WriteFileRecordRequest,
    )
    from pymodbus.mei_message import ReadDeviceInformationRequest
    from pymodbus.other_message import (
        GetCommEventCounterRequest,
        GetCommEventLogRequest,
        ReadExceptionStatusRequest,
        ReportSlaveIdRequest,
    )
    from pymodbus.pdu import ExceptionResponse
    from pymodbus.register_read_message import ReadWriteMultipleRegistersRequest
    from pymodbus.register_write_message import MaskWriteRegisterRequest
    from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer
    from pymodbus.utilities import computeCRC, computeLRC
except ImportError as error:
    print("no pymodbus: %s" % error, flush=True)  # also a dependency of it missing
    sys.exit(3)

UNIT = 1
# The simulator's --size, --fifo-size/--fifo-address and --files/--records as the test starts it.
SIZE = 1000
FIFO_ADDRESS = 300
FIFO_SIZE = 5
FILES = 6
RECORDS = 500
QUIET = 0.4  # seconds to wait for an answer that must not come

# pymodbus 3.0 reads a FIFO answer's register count as a byte count and keeps count - 4 values;
# the answer's data is kept as it came, and read here by the published layout.
ReadFifoQueueResponse.decode = lambda self, data: setattr(self, "raw", bytes(data))


def words(values):
    return " ".join("%04X" % v for v in values)


def data_words(data):
    return words(struct.unpack(">%dH" % (len(data) // 2), data[: len(data) // 2 * 2]))


def outcome(answer, show):
    """The answer shown by show, or what stood in for it."""
    if isinstance(answer, ExceptionResponse):
        return "ex %d" % answer.exception_code
    if answer is None or not hasattr(answer, "function_code") or answer.isError():
        return "none"
    return show(answer)


class Cases:
    def __init__(self, client, kind):
        self.c = client
        self.kind = kind

    def ask(self, request, show=lambda a: "ok"):
        request.unit_id = UNIT
        return outcome(self.c.execute(request), show)

    def counter(self, request):
        return self.ask(request, lambda a: str(a.message[0]))

    def clear(self):
        cleared = self.ask(ClearCountersRequest())
        if cleared != "ok":  # the counts that follow would not be this case's own
            print("clear counters: " + cleared, file=sys.stderr, flush=True)

    def read(self, address, count=1):
        return outcome(self.c.read_holding_registers(address, count, slave=UNIT),
                       lambda a: words(a.registers))

    def write(self, address, values):
        return outcome(self.c.write_registers(address, values, slave=UNIT), lambda a: "ok")

    # The raw frame, sent past pymodbus's framer on the serial line; nothing answers it.
    def send_raw(self, frame):
        self.c.socket.write(frame)
        self.c.socket.flush()
        time.sleep(QUIET)
        self.c.socket.reset_input_buffer()

    # --- function 7
    def exception_status(self):
        self.c.write_coils(0, [1, 0, 1, 1, 0, 0, 0, 1], slave=UNIT)
        return self.ask(ReadExceptionStatusRequest(), lambda a: "%02X" % a.status)

    # --- function 8
    def query_data(self):
        return self.ask(ReturnQueryDataRequest(0xA537), lambda a: words(a.message))

    def diagnostic_register(self):
        return self.ask(ReturnDiagnosticRegisterRequest(), lambda a: words(a.message))

    def bus_count(self):
        self.clear()
        for _ in range(5):
            self.read(0, 2)
        bus = self.counter(ReturnBusMessageCountRequest())
        server = self.counter(ReturnSlaveMessageCountRequest())
        return "bus %s server %s" % (bus, server)

    def exception_count(self):
        self.clear()
        past = self.read(SIZE, 1)
        zero = outcome(self.c.read_coils(0, 0, slave=UNIT), lambda a: "ok")
        return "%s, %s, exceptions %s" % (past, zero,
                                          self.counter(ReturnBusExceptionErrorCountRequest()))

    def quiet_counters(self):
        self.clear()
        self.read(0, 1)
        return " ".join(self.counter(r()) for r in (
            ReturnBusCommunicationErrorCountRequest, ReturnBusExceptionErrorCountRequest,
            ReturnSlaveNoResponseCountRequest, ReturnSlaveNAKCountRequest,
            ReturnSlaveBusyCountRequest, ReturnSlaveBusCharacterOverrunCountRequest))

    def clear_counters(self):
        self.read(0, 1)
        cleared = self.ask(ClearCountersRequest(), lambda a: words(a.message))
        return "%s bus %s" % (cleared, self.counter(ReturnBusMessageCountRequest()))

    def clear_overrun(self):
        cleared = self.ask(ClearOverrunCountRequest(), lambda a: words(a.message))
        return "%s overrun %s" % (cleared,
                                  self.counter(ReturnSlaveBusCharacterOverrunCountRequest()))

    def unknown_sub_functions(self):
        return "%s, %s" % (self.ask(ChangeAsciiInputDelimiterRequest()),
                           self.ask(ReturnIopOverrunCountRequest()))

    def restart(self):
        self.read(0, 1)
        echo = self.ask(RestartCommunicationsOptionRequest(False), lambda a: words(a.message))
        return "%s bus %s" % (echo, self.counter(ReturnBusMessageCountRequest()))

    def listen_only(self):
        self.write(40, [0x5A5A])
        steps = [self.ask(ForceListenOnlyModeRequest()), self.read(40),
                 self.write(40, [0x1111]),
                 self.ask(RestartCommunicationsOptionRequest(False)), self.read(40),
                 self.counter(ReturnBusMessageCountRequest())]
        return ", ".join(steps)

    # --- functions 11 and 12
    def event_counter(self):
        self.clear()
        for _ in range(3):
            self.read(0, 1)
        self.read(SIZE, 1)
        return self.ask(GetCommEventCounterRequest(),
                        lambda a: "%s %d" % ("ready" if a.status else "busy", a.count))

    def event_log(self):
        cleared = self.ask(RestartCommunicationsOptionRequest(True), lambda a: words(a.message))
        self.read(0, 1)
        self.read(SIZE, 1)
        return cleared + ", " + self.ask(GetCommEventLogRequest(), lambda a: (
            "%s events %d messages %d log %s" % (
                "ready" if a.status else "busy", a.event_count, a.message_count,
                " ".join("%02X" % e for e in a.events))))

    # --- function 17
    def report_id(self):
        # pymodbus takes the last byte for the run indicator; the published layout has it
        # after the server id, which the bytes show.
        return self.ask(ReportSlaveIdRequest(), lambda a: "%02X %02X %s" % (
            a.identifier[0], a.identifier[1], a.identifier[2:].decode("ascii", "replace")))

    # --- functions 20 and 21
    def read_file(self):
        request = ReadFileRecordRequest([
            FileRecord(file_number=4, record_number=1, record_length=2),
            FileRecord(file_number=3, record_number=0x109, record_length=3)])
        return self.ask(request, lambda a: " | ".join(data_words(r.record_data)
                                                      for r in a.records))

    def write_file(self):
        data = struct.pack(">2H", 0x1111, 0x2222)
        echo = self.ask(WriteFileRecordRequest([
            FileRecord(file_number=2, record_number=7, record_data=data)]),
            lambda a: " | ".join("%d %d %s" % (r.file_number, r.record_number,
                                                data_words(r.record_data)) for r in a.records))
        back = self.ask(ReadFileRecordRequest([
            FileRecord(file_number=2, record_number=6, record_length=4)]),
            lambda a: data_words(a.records[0].record_data))
        return "%s, %s" % (echo, back)

    def file_limits(self):
        def one(file, record, length):
            return self.ask(ReadFileRecordRequest([
                FileRecord(file_number=file, record_number=record, record_length=length)]),
                lambda a: data_words(a.records[0].record_data))
        return ", ".join([one(FILES, RECORDS - 1, 1), one(0, 0, 1), one(FILES + 1, 0, 1),
                          one(1, RECORDS - 1, 2)])

    # --- function 22
    def mask_write(self):
        self.write(4, [0x0012])
        echo = self.ask(MaskWriteRegisterRequest(4, 0x00F2, 0x0025), lambda a: "%d %04X %04X" % (
            a.address, a.and_mask, a.or_mask))
        return "%s, %s" % (echo, self.read(4))

    # --- function 23
    def read_write(self):
        self.write(10, [1, 2, 3, 4])
        request = ReadWriteMultipleRegistersRequest(
            read_address=10, read_count=4, write_address=11, write_registers=[0xAAAA, 0xBBBB])
        return "%s, %s" % (self.ask(request, lambda a: words(a.registers)), self.read(10, 4))

    # --- function 24
    def fifo(self):
        def show(a):
            raw = a.raw
            if len(raw) < 4:
                return "short " + raw.hex()
            byte_count, count = struct.unpack(">HH", raw[:4])
            return "bytes %d count %d %s" % (byte_count, count, data_words(raw[4:]))
        return "%s, %s" % (self.ask(ReadFifoQueueRequest(FIFO_ADDRESS), show),
                           self.ask(ReadFifoQueueRequest(FIFO_ADDRESS + 1), show))

    # --- function 43/14
    def identification(self, code, object_id):
        def show(a):
            objects = " ".join("%d=%s" % (k, v.decode("ascii", "replace"))
                               for k, v in sorted(a.information.items()))
            return "code %d %02X more %02X next %d %s" % (
                a.read_code, a.conformity, a.more_follows, a.next_object_id, objects)
        return self.ask(ReadDeviceInformationRequest(code, object_id), show)

    def device_id(self):
        return self.identification(1, 0)

    def device_id_streams(self):
        return ", ".join([self.identification(1, 2), self.identification(1, 9),
                          self.identification(2, 0), self.identification(4, 1),
                          self.identification(4, 3), self.identification(5, 0)])

    def device_id_chain(self):
        parts, next_id = [], 0
        for _ in range(5):  # three objects at most, one an answer
            answer = self.c.execute(ReadDeviceInformationRequest(1, next_id, unit=UNIT))
            part = outcome(answer, lambda a: "more %02X next %d %s" % (
                a.more_follows, a.next_object_id,
                " ".join("%d:%d" % (k, len(v)) for k, v in sorted(a.information.items()))))
            parts.append(part)
            if not part.startswith("more FF"):
                break
            next_id = answer.next_object_id
        return ", ".join(parts)

    # --- the serial line only: frames pymodbus's framer would not send
    def frame(self, unit, pdu, damaged=False):
        body = bytes([unit]) + pdu
        if self.kind == "ascii":
            check = (computeLRC(body) ^ (0xFF if damaged else 0)) & 0xFF
            return b":" + (body + bytes([check])).hex().upper().encode() + b"\r\n"
        return body + struct.pack(">H", computeCRC(body) ^ (0xFF if damaged else 0))

    def check_error(self):
        self.clear()
        self.send_raw(self.frame(UNIT, bytes([3, 0, 0, 0, 1]), damaged=True))
        return "errors %s bus %s" % (self.counter(ReturnBusCommunicationErrorCountRequest()),
                                     self.counter(ReturnBusMessageCountRequest()))

    def other_address(self):
        self.clear()
        self.send_raw(self.frame(UNIT + 1, bytes([3, 0, 0, 0, 1])))
        return "bus %s server %s" % (self.counter(ReturnBusMessageCountRequest()),
                                     self.counter(ReturnSlaveMessageCountRequest()))

    def broadcast(self):
        self.clear()
        self.send_raw(self.frame(0, bytes([6, 0, 50, 0x42, 0x42])))
        return "%s no answer %s server %s" % (self.read(50),
                                              self.counter(ReturnSlaveNoResponseCountRequest()),
                                              self.counter(ReturnSlaveMessageCountRequest()))

    def overrun(self):
        self.clear()
        self.send_raw(self.frame(UNIT, bytes([16, 0, 0, 0, 150, 44]) + bytes(300)))
        before = self.counter(ReturnSlaveBusCharacterOverrunCountRequest())
        return "overrun %s, %s" % (before, self.clear_overrun())


def main():
    signal.alarm(60)  # a bound of its own, whatever the test does
    kind, where, names = sys.argv[1], sys.argv[2], sys.argv[3:]
    if kind == "tcp":
        client = ModbusTcpClient("127.0.0.1", port=int(where), timeout=1, retries=0,
                                 retry_on_empty=False)
    else:
        framer = ModbusAsciiFramer if kind == "ascii" else ModbusRtuFramer
        client = ModbusSerialClient(port=where, framer=framer, baudrate=9600,
                                    timeout=1, retries=0, retry_on_empty=False)
    client.params.timeout = QUIET  # pymodbus 3.0 keeps whole seconds only
    if not client.connect():
        print("no connection to " + where, flush=True)
        sys.exit(1)
    cases = Cases(client, kind)
    for name in names:
        method = getattr(cases, name.replace("-", "_"), None)
        print("%s %s" % (name, method() if method else "unknown case"), flush=True)
    client.close()


if __name__ == "__main__":
    main()
