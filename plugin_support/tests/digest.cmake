orvix_add_test(plugin_digest_test
  SOURCES tests/DigestTest.cpp
  LIBS plugin_support)
