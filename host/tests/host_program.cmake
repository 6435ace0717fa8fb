# The host program end to end under Wine, with the recording test plug-ins.
orvix_add_test(host_program_test SOURCES tests/HostProgramTest.cpp LIBS host foundation test_host)
add_dependencies(host_program_test OrvixTelvane test_plugins)
# Both write the machine's running-state value, which keeps the host's refusal box away.
set_tests_properties(host_program_test PROPERTIES RESOURCE_LOCK orvix_running_state)
