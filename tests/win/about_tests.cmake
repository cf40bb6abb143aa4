# The about window, StartBrowser and the web view's container objects, in-process under Wine.
# Built from the about sources alone: the tests make their own AboutWindow, so nothing else
# of the program is needed.
set(VELTO_ABOUT_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VELTO_ABOUT_SOURCES
  ${VELTO_ABOUT_DIR}/../../src/about/about_window.cpp
  ${VELTO_ABOUT_DIR}/../../src/about/web_host.cpp
  ${VELTO_ABOUT_DIR}/about_support.cpp
  ${VELTO_ABOUT_DIR}/about_fake_browser.c)

function(velto_about_test_executable name)
  add_executable(${name} ${ARGN} ${VELTO_ABOUT_SOURCES})
  target_include_directories(${name} PRIVATE ${VELTO_ABOUT_DIR}/../../src ${VELTO_ABOUT_DIR})
  target_compile_definitions(${name} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
  target_link_libraries(${name} PRIVATE GTest::gtest_main ole32 oleaut32 uuid user32 gdi32)
  # One process for all cases (a Wine start is slow). mshtml stays disabled whatever the
  # caller's environment: the home page must never be fetched.
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT 120
    ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
endfunction()

# The container objects, the window procedure and StartBrowser with OLE initialised.
velto_about_test_executable(velto_about_tests
  ${VELTO_ABOUT_DIR}/about_host_tests.cpp
  ${VELTO_ABOUT_DIR}/about_browser_tests.cpp)

# The sink's one-time step at the first DocumentComplete, which needs a process of its own.
velto_about_test_executable(velto_about_first_document_tests
  ${VELTO_ABOUT_DIR}/about_first_document_tests.cpp)
