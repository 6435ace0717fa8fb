orvix_add_test(plugin_text_test
  SOURCES tests/PluginTextTest.cpp tests/EditIOTest.cpp
  LIBS plugin_support)
