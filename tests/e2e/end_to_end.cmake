# The real host from a copy of the installed layout with the real plug-ins and the recording
# ones of the e2e test tree, around the fake PBX (scripts/with-fake-pbx).
add_executable(end_to_end_test
  ${CMAKE_CURRENT_LIST_DIR}/EndToEndTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PbxControl.cpp)
target_include_directories(end_to_end_test PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(end_to_end_test PRIVATE plugin_support foundation test_support gmock gtest_main winhttp)
add_dependencies(end_to_end_test OrvixTelvane PluginInfoVisette test_plugins)
if(TARGET PluginTelephonyOrkane)
  add_dependencies(end_to_end_test PluginTelephonyOrkane)
endif()
add_test(NAME end_to_end_test COMMAND ${ORVIX_WITH_FAKE_PBX} $<TARGET_FILE:end_to_end_test>)
# It runs the one host instance of the machine and writes its running state.
orvix_gtest_properties(end_to_end_test)
set_tests_properties(end_to_end_test PROPERTIES RESOURCE_LOCK orvix_running_state)
