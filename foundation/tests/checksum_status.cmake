orvix_add_test(foundation_checksum_status_test
  SOURCES tests/ChecksumStatusTest.cpp
  LIBS foundation)
