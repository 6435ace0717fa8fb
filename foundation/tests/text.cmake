orvix_add_test(foundation_text_test
  SOURCES tests/FormatTest.cpp tests/TextUtilsTest.cpp tests/TextEncodingTest.cpp tests/DebugOutputTest.cpp
  LIBS foundation)
