orvix_add_test(telephony_tapi_text_test
  SOURCES tests/TapiTextTest.cpp tests/TapiErrorsTest.cpp
  LIBS telephony_support)
