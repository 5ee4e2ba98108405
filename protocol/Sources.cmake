# The Modbus protocol for every role, shared with the fuzz targets, which compile it with
# coverage. Each function's file sits in functions/ and has its row in FunctionTable.cpp.
file(GLOB VORNAK_PROTOCOL_FUNCTION_SOURCES RELATIVE ${CMAKE_CURRENT_LIST_DIR}
    CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/functions/*.cpp)
set(VORNAK_PROTOCOL_SOURCES
    AsciiCodec.cpp
    AsciiSplitter.cpp
    Crc16.cpp
    DeviceDiagnostics.cpp
    DeviceServing.cpp
    ExceptionCode.cpp
    FunctionTable.cpp
    Lrc.cpp
    MbapCodec.cpp
    Pdu.cpp
    RtuCodec.cpp
    RtuFrameLength.cpp
    RtuSplitter.cpp
    ${VORNAK_PROTOCOL_FUNCTION_SOURCES}
)
