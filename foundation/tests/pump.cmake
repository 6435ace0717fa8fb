orvix_add_test(foundation_pump_test SOURCES tests/MessagePumpTest.cpp LIBS foundation)
