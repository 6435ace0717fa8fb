orvix_add_test(host_plugin_manager_test SOURCES tests/PluginBaseTest.cpp LIBS host test_host)
