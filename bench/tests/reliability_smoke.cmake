# Short runs of the reliability programs, so that they keep working: each checks correctness
# (no crash, no hang, no forged bus value, a host that keeps answering and ends cleanly),
# never speed. scripts/bench --reliability runs them at full counts.
add_test(NAME reliability_dispatcher_smoke
  COMMAND ${ORVIX_WINE_RUN} $<TARGET_FILE:DispatcherFuzz> ${ORVIX_PBX_CORPUS}
    "Z:${CMAKE_BINARY_DIR}/reliability" --seed 7 --count 3000 --seconds 120 --huge 65536 --hang-seconds 60)
set_tests_properties(reliability_dispatcher_smoke PROPERTIES TIMEOUT 300)

add_test(NAME reliability_host_attack_smoke
  COMMAND ${ORVIX_WINE_RUN} $<TARGET_FILE:HostAttack> --seed 7 --count 1500 --seconds 120)
# It starts the host, which shares the status report and the running-state value with the
# host program tests.
set_tests_properties(reliability_host_attack_smoke PROPERTIES TIMEOUT 300 RESOURCE_LOCK orvix_running_state)

# A few calls through the whole path: the fake PBX, the real telephony plug-in logged in to it,
# the host and the business-card plug-in; every call's card must come and go.
add_test(NAME reliability_call_soak_smoke
  COMMAND ${ORVIX_WITH_FAKE_PBX} $<TARGET_FILE:CallPathBench> soak 5 200 cards)
set_tests_properties(reliability_call_soak_smoke PROPERTIES TIMEOUT 300 RESOURCE_LOCK orvix_running_state)

# The fake PBX drops the telephony plug-in's user connection (TCP abort, a call ringing) and
# its application connection (close frame, a call connected): each time State 0, State 2
# again, a whole call afterwards, and every call event once on the bus, in order.
add_test(NAME reliability_connection_drops_smoke
  COMMAND ${ORVIX_WITH_FAKE_PBX} $<TARGET_FILE:ConnectionDrops> --smoke)
set_tests_properties(reliability_connection_drops_smoke PROPERTIES TIMEOUT 300 RESOURCE_LOCK orvix_running_state)
