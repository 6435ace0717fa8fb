orvix_add_test(foundation_credentials_time_test
  SOURCES tests/CredentialsTest.cpp tests/TimeFormatTest.cpp
  LIBS foundation)
