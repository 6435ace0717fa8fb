orvix_add_test(host_entry_test SOURCES tests/CommandLineTest.cpp tests/SharedMemNameTest.cpp tests/TrayCheckTest.cpp LIBS host)
