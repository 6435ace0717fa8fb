# The real PluginTelephonyOrkane.DLL in the in-process test host (real router and plug-in
# manager over the "orkane" test tree, with a recording Info plug-in), against the fake PBX.
add_executable(orkane_plugin_test tests/PluginDllTest.cpp)
target_link_libraries(orkane_plugin_test PRIVATE telephony_orkane_core test_host test_support gmock gtest_main)
add_dependencies(orkane_plugin_test PluginTelephonyOrkane test_plugins)
add_test(NAME orkane_plugin_test
  COMMAND ${ORVIX_WITH_FAKE_PBX} $<TARGET_FILE:orkane_plugin_test>)
# It also runs the real host program, which keeps a single instance and one status report.
orvix_gtest_properties(orkane_plugin_test)
set_tests_properties(orkane_plugin_test PROPERTIES RESOURCE_LOCK orvix_running_state)
