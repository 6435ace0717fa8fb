orvix_add_test(plugin_winhttp_error_test
  SOURCES tests/WinHttpErrorTextTest.cpp
  LIBS plugin_support)
