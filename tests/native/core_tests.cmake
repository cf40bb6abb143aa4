# The core's rules and conversation, driven through the recording front end, with real
# output files.
add_executable(velto_core_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/core_rules_tests.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/core_conversation_tests.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/core_browse_tests.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/core_download_tests.cpp
  ${PROJECT_SOURCE_DIR}/tests/common/recording_front_end.cpp
)
target_include_directories(velto_core_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
# velto_core before the front end and the output file: it is what calls them.
target_link_libraries(velto_core_tests PRIVATE velto_core velto_output_file GTest::gtest_main)
gtest_discover_tests(velto_core_tests)
