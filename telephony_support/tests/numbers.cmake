orvix_add_test(number_translation_test SOURCES tests/CountryCodeTest.cpp tests/NumberTranslationTest.cpp
  LIBS telephony_support)
