orvix_add_test(telephony_desk_phones_test
  SOURCES tests/DeskPhonesTest.cpp
  LIBS telephony_support)
