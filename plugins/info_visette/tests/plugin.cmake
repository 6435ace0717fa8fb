orvix_add_test(info_visette_plugin_test
  SOURCES tests/PluginDllTest.cpp
  LIBS plugin_support test_host)
add_dependencies(info_visette_plugin_test PluginInfoVisette)
