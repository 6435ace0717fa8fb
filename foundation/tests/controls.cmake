# Clipboard, list-view and tree-view helpers on real controls.
orvix_add_test(foundation_controls_test
  SOURCES tests/ClipboardToolsTest.cpp tests/ListViewToolsTest.cpp tests/TreeViewToolsTest.cpp
  LIBS foundation)
# It moves the mouse pointer and uses the clipboard, which other such tests share.
set_tests_properties(foundation_controls_test PROPERTIES RESOURCE_LOCK "orvix_mouse;orvix_clipboard")
