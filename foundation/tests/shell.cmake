# Shortcuts, shell dialog helpers and HTML Help.
orvix_add_test(foundation_shell_test
  SOURCES tests/ShellLinksTest.cpp tests/ShellDialogsHelpTest.cpp
  LIBS foundation)
