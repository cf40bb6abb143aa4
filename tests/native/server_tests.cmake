# zurod-server: its session, messages and filesystem in-process, and the real server
# process over loopback.
add_executable(zurod_server_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/server_session_tests.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/server_process_tests.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/server_test_support.cpp
)
target_link_libraries(zurod_server_tests PRIVATE zurod_server_lib GTest::gtest_main)
target_compile_definitions(zurod_server_tests PRIVATE ZUROD_SERVER_PATH="$<TARGET_FILE:zurod-server>")
add_dependencies(zurod_server_tests zurod-server)
gtest_discover_tests(zurod_server_tests)
