# The settings dialog runs from the test program, which carries the host's resources.
orvix_add_test(host_config_test SOURCES tests/QorConfigTest.cpp tests/QorConfigMainTest.cpp
  ${CMAKE_SOURCE_DIR}/resources/host/OrvixTelvane.rc LIBS host test_host)
target_include_directories(host_config_test PRIVATE ${CMAKE_SOURCE_DIR}/resources/host)
