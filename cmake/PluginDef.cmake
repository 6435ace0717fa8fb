# orvix_plugin_def(<out-var> LIBRARY <file name> EXPORTS <name>...)
# Writes a module-definition file that exports the plug-in contract by plain names on both
# architectures: i686 decorates stdcall functions (DLL_ShowConfig@4) and needs an alias,
# x86_64 has no decoration. g_bIgnoreModule is always exported as data.
set(ORVIX_STDCALL_ARG_BYTES
  "DLL_PluginBusProcess=8;DLL_SetDisableState=4;DLL_ShowConfig=4")

function(orvix_plugin_def out_var)
  cmake_parse_arguments(D "" "LIBRARY" "EXPORTS" ${ARGN})
  set(def "LIBRARY ${D_LIBRARY}\nEXPORTS\n")
  foreach(e ${D_EXPORTS})
    set(bytes "")
    foreach(pair ${ORVIX_STDCALL_ARG_BYTES})
      string(REPLACE "=" ";" kv "${pair}")
      list(GET kv 0 k)
      if(k STREQUAL e)
        list(GET kv 1 bytes)
      endif()
    endforeach()
    if(bytes AND CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(APPEND def "  ${e} = ${e}@${bytes}\n")
    else()
      string(APPEND def "  ${e}\n")
    endif()
  endforeach()
  string(APPEND def "  g_bIgnoreModule DATA\n")
  string(MAKE_C_IDENTIFIER "${D_LIBRARY}" stem)
  set(file "${CMAKE_CURRENT_BINARY_DIR}/${stem}.def")
  # Rewritten only when it changes, so a configure run does not relink every plug-in.
  file(WRITE "${file}.new" "${def}")
  file(COPY_FILE "${file}.new" "${file}" ONLY_IF_DIFFERENT)
  set(${out_var} "${file}" PARENT_SCOPE)
endfunction()
