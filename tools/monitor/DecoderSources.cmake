# The decoder, shared with its fuzz target, which compiles it with coverage.
set(MONITOR_DECODER_SOURCES
    BusDecoder.cpp
    BusTally.cpp
    FrameShapes.cpp
    FrameValues.cpp
    FramingPath.cpp
    ModeGuess.cpp
    RecordQueue.cpp
    RequestPairing.cpp
)
