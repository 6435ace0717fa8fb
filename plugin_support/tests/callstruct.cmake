orvix_add_test(call_struct_test SOURCES tests/CallStructTest.cpp LIBS plugin_support)
