# Shortcuts, shell dialog helpers and HTML Help.
orvix_add_test(foundation_shell_test
  SOURCES tests/ShellLinksTest.cpp tests/ShellDialogsHelpTest.cpp
  LIBS foundation)
# It moves or reads the mouse pointer, which every other such test shares.
set_tests_properties(foundation_shell_test PROPERTIES RESOURCE_LOCK orvix_mouse)
