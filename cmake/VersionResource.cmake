# orvix_version_resource(<target> PRODUCT <name> DESCRIPTION <text> ORIGINAL_FILENAME <file>
#                        VERSION <a.b.c.d> [PRODUCT_VERSION <a.b.c.d>] [COMMENTS <text>]
#                        [COMPANY <text>] [COPYRIGHT <text>])
# Gives the target a VERSIONINFO resource. Its string table is keyed "040704b0" (German,
# UTF-16) with the translation 0x0407/1200: the first key the version reader asks for.
# The texts may hold any UTF-8 characters and quotes.
set(ORVIX_VERSION_RC_TEMPLATE "${CMAKE_CURRENT_LIST_DIR}/VersionResource.rc.in")

function(orvix_version_resource target)
  # PARSE_ARGV keeps a semicolon inside a text.
  cmake_parse_arguments(PARSE_ARGV 1 V ""
    "PRODUCT;DESCRIPTION;ORIGINAL_FILENAME;VERSION;PRODUCT_VERSION;COMMENTS;COMPANY;COPYRIGHT" "")
  foreach(required PRODUCT DESCRIPTION ORIGINAL_FILENAME VERSION)
    if(NOT DEFINED V_${required})
      message(FATAL_ERROR "orvix_version_resource(${target}): ${required} is missing")
    endif()
  endforeach()
  if(V_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "orvix_version_resource(${target}): unknown arguments ${V_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT V_PRODUCT_VERSION)
    set(V_PRODUCT_VERSION "${V_VERSION}")
  endif()

  # "1.2" -> "1,2,0,0" for the numeric fields; each part must fit 16 bits.
  foreach(kind FILE PRODUCT)
    if(kind STREQUAL "FILE")
      set(text "${V_VERSION}")
    else()
      set(text "${V_PRODUCT_VERSION}")
    endif()
    if(NOT text MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
      message(FATAL_ERROR "orvix_version_resource(${target}): version \"${text}\" is not a.b.c.d")
    endif()
    string(REPLACE "." ";" parts "${text}")
    list(LENGTH parts count)
    while(count LESS 4)
      list(APPEND parts 0)
      math(EXPR count "${count} + 1")
    endwhile()
    foreach(part ${parts})
      if(part GREATER 65535)
        message(FATAL_ERROR "orvix_version_resource(${target}): version part ${part} is above 65535")
      endif()
    endforeach()
    list(JOIN parts "," ORVIX_${kind}_VERSION_NUMBERS)
    list(JOIN parts "." ORVIX_${kind}_VERSION_TEXT)
  endforeach()

  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(ORVIX_FILE_TYPE "VFT_APP")
  else()
    set(ORVIX_FILE_TYPE "VFT_DLL")
  endif()

  # One VALUE line per text; a quote is written twice inside a resource string.
  set(ORVIX_VERSION_VALUES "")
  foreach(pair
      "CompanyName=COMPANY" "FileDescription=DESCRIPTION" "Comments=COMMENTS"
      "LegalCopyright=COPYRIGHT" "OriginalFilename=ORIGINAL_FILENAME" "ProductName=PRODUCT")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 key)
    list(GET pair 1 argument)
    if(DEFINED V_${argument})
      string(REPLACE "\"" "\"\"" value "${V_${argument}}")
      string(APPEND ORVIX_VERSION_VALUES "      VALUE \"${key}\", \"${value}\"\n")
    endif()
  endforeach()
  string(APPEND ORVIX_VERSION_VALUES "      VALUE \"FileVersion\", \"${ORVIX_FILE_VERSION_TEXT}\"\n")
  string(APPEND ORVIX_VERSION_VALUES "      VALUE \"ProductVersion\", \"${ORVIX_PRODUCT_VERSION_TEXT}\"\n")

  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  configure_file("${ORVIX_VERSION_RC_TEMPLATE}" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()
