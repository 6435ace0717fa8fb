# Clipboard, list-view and tree-view helpers on real controls.
orvix_add_test(foundation_controls_test
  SOURCES tests/ClipboardToolsTest.cpp tests/ListViewToolsTest.cpp tests/TreeViewToolsTest.cpp
  LIBS foundation)
