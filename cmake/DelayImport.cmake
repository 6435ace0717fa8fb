# orvix_delay_import(<name>...)
# For each system library <name> (winhttp, tapi32 ...), an imported target delayed::<name>
# that binds the library's functions on their first call instead of at load: Wine maps and
# initialises every imported library (and what it imports) whenever the program or plug-in is
# loaded, which the host's start pays for libraries that only a later connection, dialog or
# card needs. The delay-import library is made at configure time from the toolchain's own
# import library (its symbol list, through a module-definition file, by dlltool), and the
# toolchain's delay-load helper (libdelayimp) binds the calls.
find_program(ORVIX_NM NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-nm REQUIRED)
find_program(ORVIX_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool REQUIRED)

# On i686, GNU ld leaves a delay-import slot empty (zero) when the call reaches it through a
# __declspec(dllimport) declaration ("call *__imp__Name@n"), so the first call jumps to
# address 0; a plain declaration calls the library's stub ("jmp *slot"), whose slot holds the
# loader thunk. The headers of oleaut32 and comdlg32 declare their functions dllimport: on
# i686 every declaration is made plain. Calls to libraries loaded at start then go through
# their import stubs, one jump more.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_compile_definitions(DECLSPEC_IMPORT=)
endif()

function(orvix_delay_import)
  foreach(name ${ARGN})
    if(TARGET delayed::${name})
      continue()
    endif()
    find_library(ORVIX_IMPORT_${name} NAMES lib${name}.a REQUIRED)
    set(dir "${CMAKE_BINARY_DIR}/delayimp")
    file(MAKE_DIRECTORY "${dir}")
    execute_process(COMMAND "${ORVIX_NM}" "${ORVIX_IMPORT_${name}}" OUTPUT_VARIABLE symbols
                    RESULT_VARIABLE nm_result)
    if(NOT nm_result EQUAL 0)
      message(FATAL_ERROR "orvix_delay_import: ${ORVIX_NM} failed on ${ORVIX_IMPORT_${name}}")
    endif()
    # The import thunks are "__imp_<name>", on i686 "__imp__<name>@<bytes>" (stdcall): the
    # module-definition file lists them as the import library's own definition file does.
    string(REGEX MATCHALL "I __imp__?[^\n]+" entries "${symbols}")
    set(def "LIBRARY ${name}.dll\nEXPORTS\n")
    foreach(entry ${entries})
      string(REGEX REPLACE "^I __imp_" "" symbol "${entry}")
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(REGEX REPLACE "^_" "" symbol "${symbol}")
      endif()
      string(APPEND def "  ${symbol}\n")
    endforeach()
    file(WRITE "${dir}/${name}.def" "${def}")
    # -k: the i686 entries keep their @<bytes> for the callers and are bound by plain name.
    set(kill_at "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(kill_at "-k")
    endif()
    execute_process(COMMAND "${ORVIX_DLLTOOL}" ${kill_at} --input-def "${dir}/${name}.def"
                            --output-delaylib "${dir}/lib${name}_delay.a" --dllname "${name}.dll"
                    RESULT_VARIABLE tool_result)
    if(NOT tool_result EQUAL 0)
      message(FATAL_ERROR "orvix_delay_import: dlltool could not make the delay-import library of ${name}")
    endif()
    add_library(delayed::${name} STATIC IMPORTED GLOBAL)
    set_target_properties(delayed::${name} PROPERTIES
      IMPORTED_LOCATION "${dir}/lib${name}_delay.a"
      INTERFACE_LINK_LIBRARIES "delayimp;kernel32")
  endforeach()
endfunction()
