orvix_add_test(orkane_vars_test
  SOURCES tests/InnovaphoneVarsTest.cpp tests/DispatcherTest.cpp tests/WebsocketUrlTest.cpp
    tests/StoredSessionTest.cpp
  LIBS telephony_orkane_core test_host ws2_32)

# The websocket tests talk to the fake PBX, which scripts/with-fake-pbx starts around them.
add_executable(orkane_websocket_test tests/PbxWebsocketTest.cpp)
target_link_libraries(orkane_websocket_test PRIVATE telephony_orkane_core test_host test_support gmock gtest_main)
add_test(NAME orkane_websocket_test
  COMMAND ${ORVIX_WITH_FAKE_PBX} $<TARGET_FILE:orkane_websocket_test>)
orvix_gtest_properties(orkane_websocket_test)

# The login thread against the fake PBX; the confirmation dialog's template comes with it, as
# the plug-in's own resources carry it.
add_executable(orkane_login_test tests/LoginTest.cpp ConfirmDialog.rc)
target_link_libraries(orkane_login_test PRIVATE telephony_orkane_core test_host test_support gmock gtest_main)
# Two halves, each against a fake PBX of its own, so that they run side by side.
add_test(NAME orkane_login_test
  COMMAND ${ORVIX_WITH_FAKE_PBX} $<TARGET_FILE:orkane_login_test> --gtest_filter=-*TwoFactor*:*Stop*)
add_test(NAME orkane_login_confirm_test
  COMMAND ${ORVIX_WITH_FAKE_PBX} $<TARGET_FILE:orkane_login_test> --gtest_filter=*TwoFactor*:*Stop*)
orvix_gtest_properties(orkane_login_test orkane_login_confirm_test)
