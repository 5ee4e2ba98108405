# The program's own parts: options, formats, the listen-only line.
add_executable(vornak_monitor_program_tests MonitorProgramTest.cpp RecordFieldsFormatTest.cpp)
target_link_libraries(vornak_monitor_program_tests PRIVATE vornak_monitor_core GTest::gtest_main)
gtest_discover_tests(vornak_monitor_program_tests PROPERTIES LABELS core)

# The built program on the simulator's tap, with vornak-poll and mbpoll as the master.
add_executable(vornak_monitor_process_tests ../slave/SlaveProcess.cpp MonitorProcessTest.cpp)
target_include_directories(vornak_monitor_process_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/slave)
target_compile_definitions(vornak_monitor_process_tests PRIVATE
    VORNAK_SLAVE_PATH="$<TARGET_FILE:vornak-slave>" VORNAK_POLL_PATH="$<TARGET_FILE:vornak-poll>"
    VORNAK_MONITOR_PATH="$<TARGET_FILE:vornak-monitor>")
target_link_libraries(vornak_monitor_process_tests PRIVATE GTest::gtest_main Threads::Threads)
add_dependencies(vornak_monitor_process_tests vornak-slave vornak-poll vornak-monitor)
gtest_discover_tests(vornak_monitor_process_tests PROPERTIES LABELS core)
