orvix_add_test(bus_common_types_test SOURCES tests/CommonBusTypesTest.cpp LIBS bus)
