# A child process for tests that need a second process (marked windows, process search,
# shared memory).
add_executable(foundation_child tests/FoundationChild.cpp)
target_link_libraries(foundation_child PRIVATE foundation)

orvix_add_test(foundation_windows_test
  SOURCES tests/WindowSearchTest.cpp tests/WindowToolsTest.cpp tests/MonitorAccessTest.cpp tests/ChildProcess.cpp
  LIBS foundation)
add_dependencies(foundation_windows_test foundation_child)
# It moves or reads the mouse pointer, which every other such test shares.
set_tests_properties(foundation_windows_test PROPERTIES RESOURCE_LOCK orvix_mouse)
