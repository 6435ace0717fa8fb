orvix_add_test(foundation_shared_utils_test
  SOURCES tests/DialTextTest.cpp tests/ProgramFilesTest.cpp
  LIBS foundation)
