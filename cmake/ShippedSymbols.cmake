# The installed files carry no debug information: it is several megabytes per file that a
# user's machine has no use for (and that Wine reads into every process's private memory, since
# MinGW aligns sections to 512 bytes in the file). It is kept in build/symbols/<file>.debug,
# which the stripped file names through its debug link, for reading a crash dump.
function(orvix_ship_without_debug_info target)
  set(symbols "${CMAKE_BINARY_DIR}/symbols")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory "${symbols}"
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug "$<TARGET_FILE:${target}>"
            "${symbols}/$<TARGET_FILE_NAME:${target}>.debug"
    COMMAND ${CMAKE_OBJCOPY} --strip-debug
            "--add-gnu-debuglink=${symbols}/$<TARGET_FILE_NAME:${target}>.debug" "$<TARGET_FILE:${target}>"
    VERBATIM)
endfunction()
