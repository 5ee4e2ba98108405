add_executable(monitor_decoder_tests BusDecoderTest.cpp FrameShapesTest.cpp FunctionDecodingTest.cpp
    SplitterRolesTest.cpp)
target_link_libraries(monitor_decoder_tests PRIVATE vornak_monitor_core GTest::gtest_main)
gtest_discover_tests(monitor_decoder_tests PROPERTIES LABELS core)
