# The Sender of every plug-in's messages, through the real plug-in DLLs.
orvix_add_test(plugin_footer_test
  SOURCES tests/PluginFooterTest.cpp
  LIBS test_host bus foundation)
add_dependencies(plugin_footer_test PluginInfoVisette)
