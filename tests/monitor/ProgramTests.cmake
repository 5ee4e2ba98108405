# The monitor's own parts without the decoder: options, formats, the listen-only line.
add_executable(vornak_monitor_program_tests MonitorProgramTest.cpp ../../tools/monitor/ListenLine.cpp
    ../../tools/monitor/MonitorFormat.cpp ../../tools/monitor/MonitorOptions.cpp)
target_include_directories(vornak_monitor_program_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(vornak_monitor_program_tests PRIVATE vornak_poll_core vornak_lines
    GTest::gtest_main)
gtest_discover_tests(vornak_monitor_program_tests PROPERTIES LABELS core)
