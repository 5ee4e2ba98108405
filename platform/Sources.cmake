# The operating-system basics, shared with the fuzz targets, which compile them with coverage.
set(VORNAK_PLATFORM_SOURCES
    AtomicFile.cpp
    Clock.cpp
    CriticalSection.cpp
    Event.cpp
    FileReason.cpp
    IniEscape.cpp
    IniFile.cpp
    ProfilePath.cpp
    RegularFile.cpp
    SignalPipe.cpp
    StandardDescriptors.cpp
)
