# The host as a service under Wine's service manager. The service is a launcher that runs the
# host's own entry with the account test answering "service account".
file(GLOB service_launcher_host_sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/app/*.cpp")
list(FILTER service_launcher_host_sources EXCLUDE REGEX "/WinMain\\.cpp$")
add_executable(ServiceLauncher WIN32 "${CMAKE_SOURCE_DIR}/tests/hosts/service_launcher/ServiceLauncher.cpp"
  ${service_launcher_host_sources} "${CMAKE_SOURCE_DIR}/resources/host/OrvixTelvane.rc")
target_link_libraries(ServiceLauncher PRIVATE host foundation bus comctl32 ole32 shell32 advapi32 version)
target_link_options(ServiceLauncher PRIVATE -municode)
# The same version block as the host: it names the data folders and the status report.
orvix_version_resource(ServiceLauncher
  PRODUCT "Orvix Telvane"
  DESCRIPTION "Orvix Telvane host"
  ORIGINAL_FILENAME "OrvixTelvane.exe"
  VERSION 1.0.0.0)

orvix_add_test(service_mode_test SOURCES tests/ServiceModeTest.cpp LIBS host foundation test_host)
add_dependencies(service_mode_test OrvixTelvane ServiceLauncher test_plugins)
# One host service at a time; the host also writes the machine's running-state value.
# Alone, the host keeps Wine's service manager's start deadline even on a busy machine; a start
# that misses it all the same is tried again by the test and named in the run's summary.
set_tests_properties(service_mode_test PROPERTIES RESOURCE_LOCK "orvix_service;orvix_running_state" RUN_SERIAL TRUE)
