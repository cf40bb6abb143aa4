# The shell's Win32 pieces in-process: the real windows, controls and sockets of velto_win,
# with the program's own resources (menu, icon, banner, manifest) linked in.
# Needs a display: run ctest inside xvfb-run (and, for the sockets, a private network
# namespace with only loopback).

add_executable(velto_shell_tests
  shell_test_main.cpp
  shell_support.cpp
  shell_startup_tests.cpp
  shell_startup_failure_tests.cpp
  shell_log_tests.cpp
  shell_main_window_tests.cpp
  shell_connect_tests.cpp
  shell_connection_tests.cpp
  shell_seam_tests.cpp
  shell_shutdown_tests.cpp
  ${PROJECT_SOURCE_DIR}/src/res/velto.rc
)
target_link_libraries(velto_shell_tests PRIVATE velto_win gtest)
set_target_properties(velto_shell_tests PROPERTIES WIN32_EXECUTABLE OFF)

# Wine's first process in a prefix starts its services (services.exe, rpcss, ...), which keep
# that process's output open; under ctest they would hold the test's pipe until the timeout.
# Start them here with their output going nowhere, in a server that outlives this step.
add_test(NAME shell_wine_services
  COMMAND sh -c "wineserver -p60 >/dev/null 2>&1; \"$0\" cmd /c exit >/dev/null 2>&1 </dev/null"
          ${CMAKE_CROSSCOMPILING_EMULATOR})
set_tests_properties(shell_wine_services PROPERTIES
  FIXTURES_SETUP wine_services
  TIMEOUT 120
  ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

# Start-up runs once per process; the failures and the shutdown each need a fresh one.
set(shell_runs
  "shell=-StartupFailure.*:Shutdown.*"
  "shell_startup_failures=StartupFailure.*"
  "shell_shutdown=Shutdown.*"
)
foreach(run IN LISTS shell_runs)
  string(REPLACE "=" ";" parts "${run}")
  list(GET parts 0 name)
  list(GET parts 1 filter)
  add_test(NAME ${name} COMMAND velto_shell_tests --gtest_filter=${filter})
  set_tests_properties(${name} PROPERTIES
    TIMEOUT 300
    FIXTURES_REQUIRED wine_services
    ENVIRONMENT "WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
endforeach()
