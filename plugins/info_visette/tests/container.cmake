orvix_add_test(info_visette_container_test
  SOURCES tests/HtmlContainerTest.cpp tests/FakeHtmlDocument.cpp
  LIBS info_visette_core test_host)
