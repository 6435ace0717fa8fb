orvix_add_test(telephony_install_test
  SOURCES tests/UrlSchemesTest.cpp tests/TapiProvidersTest.cpp
  LIBS telephony_support)
