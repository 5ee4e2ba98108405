# The protocol core, shared with the fuzz targets, which compile it with coverage.
set(VORNAK_MODBUS_SOURCES
    AsciiFraming.cpp
    ExchangeLine.cpp
    LocalModbus.cpp
    MbapFraming.cpp
    Modbus.cpp
    ModbusException.cpp
    RegisterLine.cpp
    RtuFraming.cpp
)
