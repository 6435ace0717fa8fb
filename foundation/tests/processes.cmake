# A minimal service program for the service tests.
add_executable(foundation_test_service tests/TestService.cpp)
target_link_libraries(foundation_test_service PRIVATE advapi32)

orvix_add_test(foundation_processes_test
  SOURCES tests/ProcessToolsTest.cpp tests/SecurityToolsTest.cpp tests/ServiceToolsTest.cpp tests/SystemAccountTest.cpp
          tests/ChildProcess.cpp
  LIBS foundation)
add_dependencies(foundation_processes_test foundation_child foundation_test_service)
