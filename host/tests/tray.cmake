orvix_add_test(host_tray_test SOURCES tests/TrayIconTest.cpp LIBS host)
