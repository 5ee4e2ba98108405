#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ModbusException.h"
#include "Object.h"
#include "platform/CriticalSection.h"
#include "protocol/FunctionCode.h"
#include "protocol/Limits.h"
#include "protocol/functions/GetCommEventLog.h"
#include "protocol/functions/ReadFileRecord.h"
#include "protocol/functions/WriteFileRecord.h"

using ByteArray = std::vector<std::uint8_t>;
using WordArray = std::vector<std::uint16_t>;

// Result codes of every request; 0x8000 + n is slave exception n.
constexpr std::uint16_t kModbusOk = 0;
constexpr std::uint16_t kModbusTimeout = 1;
constexpr std::uint16_t kModbusInvalidResponse = 2;
constexpr std::uint16_t kModbusCrcError = 3;
constexpr std::uint16_t kModbusWriteError = 8;
constexpr std::uint16_t kModbusReadError = 9;
constexpr std::uint16_t kModbusPortNotOpen = 10;
constexpr std::uint16_t kModbusLockTimeout = 11;
// A request the master will not send: a count outside its function's range, or a read to the
// broadcast address while broadcasts are on. Nothing goes on the line. (12 stays without a text, as
// it always was.)
constexpr std::uint16_t kModbusBadRequest = 13;
constexpr std::uint16_t kModbusException = 0x8000;

// Broadcast, when the master is told to (SetBroadcast): protocol::kBroadcastAddress reaches every
// slave and none answers. The requests that may be broadcast (writes: 5, 6, 15, 16, 21, 22) go out
// and return kModbusOk once the request has left the line, without waiting for anything; reads to
// it return kModbusBadRequest without sending. The caller keeps its own turnaround delay before the
// next request. Off by default: slave 0 is then exchanged like any other (some Modbus TCP devices
// answer unit 0).

// One answer to Read Device Identification: the objects it carried, in order, and where the
// stream goes on when moreFollows is set.
struct DeviceIdAnswer {
    std::uint8_t conformity = 0;
    bool moreFollows = false;
    std::uint8_t nextObjectId = 0;
    std::vector<std::pair<std::uint8_t, ByteArray>> objects;
};

// How the master knows an RTU answer has ended. Silence waits for the character interval to
// pass without a byte after the answer. Length ends the answer as soon as the bytes its
// request calls for (or a 5-byte exception) are in, the character interval then being only
// the longest gap allowed inside it. Bytes still coming within two character times of that end
// make it overlong, a failure as under Silence; any later are purged before the next request.
// ASCII ends at its CR LF and MBAP at its length field either way.
enum class AnswerEnd : std::uint8_t { Silence, Length };

// The abstract Modbus master: builds the requests, checks answers, unpacks data. The
// exchange on the line is the derived class's Transact.
class CModbus : public CObject {
public:
    CModbus();
    ~CModbus() override;
    CModbus(const CModbus&) = delete;
    CModbus& operator=(const CModbus&) = delete;

    const char* GetRuntimeClassName() const override { return "CModbus"; }

    // Exchanges request[0, requestLength) and fills response with the answer's address,
    // function and data, without the check. expectedLength 0 leaves the length open.
    virtual std::uint16_t Transact(ByteArray& request, std::uint16_t requestLength,
                                   ByteArray& response, std::uint16_t expectedLength,
                                   std::uint16_t* receivedLength) = 0;
    // Sends request[0, requestLength) without awaiting an answer, for broadcasts. This
    // fallback runs a Transact and takes its time-out as success; a line master overrides it.
    virtual std::uint16_t Send(ByteArray& request, std::uint16_t requestLength);
    virtual std::string GetErrorText(std::uint16_t code) const;
    virtual bool IsPortOpen() const = 0;

    std::uint16_t ReadCoils(std::uint8_t slave, std::uint16_t start, std::uint16_t quantity,
                            ByteArray& states);
    std::uint16_t ReadDiscreteInputs(std::uint8_t slave, std::uint16_t start,
                                     std::uint16_t quantity, ByteArray& states);
    std::uint16_t ReadHoldingRegisters(std::uint8_t slave, std::uint16_t start,
                                       std::uint16_t quantity, WordArray& values);
    std::uint16_t ReadInputRegisters(std::uint8_t slave, std::uint16_t start,
                                     std::uint16_t quantity, WordArray& values);
    std::uint16_t PresetSingleCoil(std::uint8_t slave, std::uint16_t address, std::uint16_t state);
    std::uint16_t PresetSingleRegister(std::uint8_t slave, std::uint16_t address,
                                       std::uint16_t value);
    // Function 16: 1..protocol::kMaxWriteRegisters values from start; the answer echoes start and
    // count.
    std::uint16_t PresetMultipleRegisters(std::uint8_t slave, std::uint16_t start,
                                          const WordArray& values);
    // Function 15: one byte per coil, nonzero for on, 1..protocol::kMaxWriteBits of them from
    // start; the answer echoes start and count.
    std::uint16_t ForceMultipleCoils(std::uint8_t slave, std::uint16_t start,
                                     const ByteArray& states);

    // Function 43, MEI 14: code 1..3 streams basic, regular or extended objects from objectId,
    // 4 asks for that one object. A frame whose objects do not fit it is kModbusInvalidResponse.
    std::uint16_t ReadDeviceIdentification(std::uint8_t slave, std::uint8_t code,
                                           std::uint8_t objectId, DeviceIdAnswer& answer);
    // Function 17: data is everything after the byte count, which must match the frame.
    std::uint16_t ReportSlaveId(std::uint8_t slave, ByteArray& data);

    // The other public functions. An answer that breaks its function's own rules, or does not
    // answer what was asked (another sub-function, another count), is kModbusInvalidResponse;
    // a request that breaks them is kModbusBadRequest and is not sent. Out-arguments change
    // only on success.
    // Function 7: the eight exception status outputs.
    std::uint16_t ReadExceptionStatus(std::uint8_t slave, std::uint8_t& status);
    // Function 8: any sub-function with its data words; answer gets the answer's words. Force
    // listen-only mode (4) is answered by nothing and ends once it is sent.
    std::uint16_t Diagnostics(std::uint8_t slave, std::uint16_t subFunction, const WordArray& data,
                              WordArray& answer);
    // Function 11.
    std::uint16_t GetCommEventCounter(std::uint8_t slave, std::uint16_t& status,
                                      std::uint16_t& eventCount);
    // Function 12.
    std::uint16_t GetCommEventLog(std::uint8_t slave, protocol::CommEventLog& log);
    // Function 20: the registers of each range, in the order asked.
    std::uint16_t ReadFileRecord(std::uint8_t slave, const std::vector<protocol::FileRange>& ranges,
                                 std::vector<WordArray>& records);
    // Function 21: the answer must echo the request.
    std::uint16_t WriteFileRecord(std::uint8_t slave,
                                  const std::vector<protocol::FileWrite>& writes);
    // Function 22: the answer must echo the request.
    std::uint16_t MaskWriteRegister(std::uint8_t slave, std::uint16_t address,
                                    std::uint16_t andMask, std::uint16_t orMask);
    // Function 23: writes values from writeStart, then reads readCount from readStart.
    std::uint16_t ReadWriteMultipleRegisters(std::uint8_t slave, std::uint16_t readStart,
                                             std::uint16_t readCount, std::uint16_t writeStart,
                                             const WordArray& values, WordArray& read);
    // Function 24: the queue, oldest first.
    std::uint16_t ReadFifoQueue(std::uint8_t slave, std::uint16_t address, WordArray& queue);
    // Any PDU (function code and data, at most the largest PDU): answer gets the answer's PDU,
    // checked only for its address and function; an exception answer is its code as always.
    std::uint16_t SendPdu(std::uint8_t slave, const ByteArray& pdu, ByteArray& answer);

    void SetBroadcast(bool on) { m_bBroadcast = on; }
    void SetAnswerEnd(AnswerEnd end) { m_answerEnd = end; }
    AnswerEnd GetAnswerEnd() const { return m_answerEnd; }

    bool Lock();
    void Unlock();

    void ThrowIfError(std::uint16_t code);

protected:
    CCriticalSection m_lock;
    std::uint16_t m_wTries;
    std::uint32_t m_dwLockTimeout;
    std::uint32_t m_dwErrorDelay;
    bool m_bThrowOnError;
    std::atomic<AnswerEnd> m_answerEnd{AnswerEnd::Silence};
    std::atomic<bool> m_bBroadcast{false};

private:
    static std::uint16_t CheckAnswer(const ByteArray& request, const ByteArray& response,
                                     std::size_t answerLength);
    // The request cycle: exchange, check, parse on success, up to m_wTries times. A request
    // to the broadcast address is sent once and never read. expectedLength 0 takes an answer of
    // open length, at least checkedLength long, which parse checks and unpacks alike.
    std::uint16_t RunRequest(const ByteArray& request, std::uint16_t expectedLength,
                             std::size_t checkedLength,
                             const std::function<std::uint16_t(const ByteArray&)>& parse);
    // For answers of a fixed length, unpacked on success.
    std::uint16_t RunRequest(const ByteArray& request, std::size_t answerLength,
                             const std::function<void(const ByteArray&)>& unpack);
    // One PDU's exchange: the answer's PDU (answerLength long, 0 when only its fields tell)
    // must satisfy read, else kModbusInvalidResponse.
    std::uint16_t RunPdu(std::uint8_t slave, const protocol::Bytes& pdu, std::size_t answerLength,
                         const std::function<bool(protocol::PduView)>& read);
    std::uint16_t Refused();
    std::uint16_t ReadBits(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                           std::uint16_t quantity, ByteArray& states);
    std::uint16_t ReadWords(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                            std::uint16_t quantity, WordArray& values);
};
