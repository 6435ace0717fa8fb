orvix_add_test(bus_builders_test SOURCES tests/BuilderTest.cpp tests/LogLineTest.cpp LIBS bus test_host)
