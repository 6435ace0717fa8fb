# Language resources and version blocks.
orvix_add_test(foundation_resources_test
  SOURCES tests/ResourceAccessTest.cpp tests/VersionResourceTest.cpp
  LIBS foundation version)
# The language libraries of dist/ are read by the tests.
add_dependencies(foundation_resources_test orvix_resource_De orvix_resource_En resource_fixture)
# The test program's own version block, with texts that need escaping.
orvix_version_resource(foundation_resources_test
  PRODUCT "Probe \"Quoted\" Äöü"
  DESCRIPTION "Version block probe"
  ORIGINAL_FILENAME "foundation_resources_test.exe"
  COMMENTS "Semicolons; and # marks"
  VERSION 2.5
  PRODUCT_VERSION 65535.1.2.3)

# A resource-only library with strings the real tables don't hold (filters, empty, overlong).
add_library(resource_fixture SHARED tests/data/ResourceFixture.rc)
set_target_properties(resource_fixture PROPERTIES
  OUTPUT_NAME ResourceFixture PREFIX "" LINKER_LANGUAGE C
  ARCHIVE_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/fixture")
target_link_options(resource_fixture PRIVATE -nostdlib -Wl,-e,0)
