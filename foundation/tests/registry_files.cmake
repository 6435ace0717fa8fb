orvix_add_test(foundation_registry_test
  SOURCES tests/RegToolTest.cpp
  LIBS foundation)
orvix_add_test(foundation_paths_test
  SOURCES tests/PathToolsTest.cpp tests/FolderFileToolsTest.cpp
  LIBS foundation)
