orvix_add_test(plugin_json_test
  SOURCES tests/JsonReaderTest.cpp tests/JsonWriterTest.cpp tests/JsonParserBaseTest.cpp tests/CountingAllocator.cpp
  LIBS plugin_support)
# The reader's y_/n_ case files sit beside the test program.
add_custom_command(TARGET plugin_json_test POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_CURRENT_SOURCE_DIR}/tests/json_cases
          $<TARGET_FILE_DIR:plugin_json_test>/plugin_json_cases)
