orvix_add_test(foundation_registry_test
  SOURCES tests/RegToolTest.cpp
  LIBS foundation)
orvix_add_test(foundation_paths_test
  SOURCES tests/PathToolsTest.cpp tests/FolderFileToolsTest.cpp
  LIBS foundation)

# Libraries with a German, an English-only and no version block, for the version reader.
foreach(kind de en none)
  set(vsources tests/version/VersionLibrary.c)
  if(kind STREQUAL "de")
    list(APPEND vsources tests/version/VersionDe.rc)
  elseif(kind STREQUAL "en")
    list(APPEND vsources tests/version/VersionEn.rc)
  endif()
  add_library(orvix_vertest_${kind} SHARED ${vsources})
  set_target_properties(orvix_vertest_${kind} PROPERTIES PREFIX "")
endforeach()
orvix_add_test(foundation_version_test
  SOURCES tests/VersionToolTest.cpp tests/version/VersionTestExe.rc
  LIBS foundation)
add_dependencies(foundation_version_test orvix_vertest_de orvix_vertest_en orvix_vertest_none)
# The file-time test loads a copy of a library.
add_dependencies(foundation_paths_test orvix_vertest_none)
orvix_add_test(foundation_settings_test
  SOURCES tests/RegIniAccessTest.cpp tests/SettingsEncodingTest.cpp
  LIBS foundation)
# The running-state test writes and deletes the machine's value that host tests rely on.
set_tests_properties(foundation_registry_test PROPERTIES RESOURCE_LOCK orvix_running_state)
