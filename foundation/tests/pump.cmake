orvix_add_test(foundation_pump_test SOURCES tests/MessagePumpTest.cpp LIBS foundation)
# Synthetic input goes to whichever window has the focus on the shared display: run alone.
set_tests_properties(foundation_pump_test PROPERTIES RUN_SERIAL TRUE)
