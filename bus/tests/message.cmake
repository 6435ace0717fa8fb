orvix_add_test(bus_message_test SOURCES tests/BusMessageTest.cpp LIBS bus)
