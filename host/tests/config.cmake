# The settings dialog runs from the test program, which carries the host's resources.
# The keyboard focus is the display's: another test's window that takes the foreground takes
# it away. The cases that read it run alone, the rest beside the others.
set(config_focus_cases "ConfigDialog.KeyUpMovesTheFocusRound")
orvix_add_test(host_config_test SOURCES tests/QorConfigTest.cpp tests/QorConfigMainTest.cpp
  ${CMAKE_SOURCE_DIR}/resources/host/OrvixTelvane.rc LIBS host test_host
  ARGS --gtest_filter=-${config_focus_cases})
target_include_directories(host_config_test PRIVATE ${CMAKE_SOURCE_DIR}/resources/host)
add_test(NAME host_config_focus_test COMMAND host_config_test --gtest_filter=${config_focus_cases})
orvix_gtest_properties(host_config_focus_test)
set_tests_properties(host_config_focus_test PROPERTIES RUN_SERIAL TRUE)
