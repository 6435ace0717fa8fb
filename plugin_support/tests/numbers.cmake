orvix_add_test(number_format_test
  SOURCES tests/PredialNumbersTest.cpp tests/NumberCanonicalTest.cpp tests/NumberDisplayTest.cpp
  LIBS plugin_support)
