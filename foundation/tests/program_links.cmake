orvix_add_test(foundation_program_links_test
  SOURCES tests/ProgramLinksTest.cpp
  LIBS foundation)
