orvix_add_test(info_visette_page_test
  SOURCES tests/PageTemplateTest.cpp tests/PopupPositionTest.cpp
  LIBS info_visette_core)
add_dependencies(info_visette_page_test PluginInfoVisette)
