orvix_add_test(foundation_program_links_test
  SOURCES tests/ProgramLinksTest.cpp
  LIBS foundation)
# It uses the clipboard, which every other such test shares.
set_tests_properties(foundation_program_links_test PROPERTIES RESOURCE_LOCK orvix_clipboard)
