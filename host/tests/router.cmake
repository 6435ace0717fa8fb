orvix_add_test(host_router_test SOURCES tests/RouterTest.cpp LIBS host test_host)
