# Dialog colour schemes and fonts, on real windows.
orvix_add_test(foundation_dialog_look_test
  SOURCES tests/QorDlgColorsTest.cpp tests/QorDlgFontsTest.cpp
  LIBS foundation)
