orvix_add_test(foundation_registry_test
  SOURCES tests/RegToolTest.cpp
  LIBS foundation)
