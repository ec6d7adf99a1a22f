# Helpers that keep every subsystem its own static library with only the dependencies it may use.
# Logic libraries get no GTK, WebKit, curl or libsecret include path, so a wrong include fails.

# orlith_library(<name> <folder under the source root> [DEPS <targets>...])
# Takes the folder's own *.cpp files (not those of its subfolders).
function(orlith_library name dir)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
  if(NOT sources)
    # A subsystem whose first source has not come yet: headers only.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${CMAKE_SOURCE_DIR}/src")
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# orlith_tests(<name> <folder> LABEL <label> [DEPS <targets>...])
# One test program per folder; every test in it carries the label. OWN_MAIN: the folder
# brings its own main (toolkit tests initialise GTK first). RESOURCE_LOCK: tests holding the
# same lock never run at the same time. RUN_SERIAL: its tests run with no other test beside them.
# ORIGIN_PORT <regex>: the tests whose names match listen on the build's origin port, so they
# hold its lock and never run beside one another.
# Each test runs under orlith-test-guard, which ends every process the test leaves behind, and
# learns its time-out from ORLITH_TEST_TIMEOUT, so its waits end before ctest's time-out.
function(orlith_tests name dir)
  cmake_parse_arguments(ARG "OWN_MAIN;RUN_SERIAL" "LABEL;TIMEOUT;RESOURCE_LOCK;ORIGIN_PORT" "DEPS"
                        ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} orlith_test_support GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gmock_main)
  endif()
  set(lock)
  if(ARG_RESOURCE_LOCK)
    set(lock RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  if(ARG_RUN_SERIAL)
    list(APPEND lock RUN_SERIAL TRUE)
  endif()
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
                        "$<TARGET_FILE:orlith-test-guard>")
  add_dependencies(${name} orlith-test-guard)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT}
               ENVIRONMENT "ORLITH_TEST_TIMEOUT=${ARG_TIMEOUT}" ${lock})
  if(ARG_ORIGIN_PORT)
    # Read after the discovered tests, whose names it needs.
    set(include "${CMAKE_CURRENT_BINARY_DIR}/${name}_origin_port.cmake")
    file(WRITE "${include}"
         "foreach(test IN LISTS ${name}_TESTS)\n"
         "  if(test MATCHES [=[${ARG_ORIGIN_PORT}]=])\n"
         "    set_tests_properties(\"\${test}\" PROPERTIES RESOURCE_LOCK\n"
         "                         orlith-origin-port-${ORLITH_STANDIN_PORT})\n"
         "  endif()\n"
         "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include}")
  endif()
endfunction()

# orlith_bundle_program(<target> <bundle dir>): the program lands in <bundle>/Contents/MacOS.
function(orlith_bundle_program target bundle)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${bundle}/Contents/MacOS")
endfunction()

# orlith_bundle_plist(<template> <bundle dir>): writes <bundle>/Contents/Info.plist.
function(orlith_bundle_plist template bundle)
  configure_file("${template}" "${bundle}/Contents/Info.plist" @ONLY)
  file(MAKE_DIRECTORY "${bundle}/Contents/Resources")
endfunction()

# orlith_embed_text(<target> <namespace> <files>...): compiles each text file into <target> as
# `const std::string_view k<Stem>Js` (k<Stem><Ext> in general) in <namespace>, regenerated
# whenever the file changes.
function(orlith_embed_text target namespace)
  foreach(input ${ARGN})
    get_filename_component(stem "${input}" NAME_WE)
    get_filename_component(ext "${input}" LAST_EXT)
    string(SUBSTRING "${ext}" 1 1 extHead)
    string(SUBSTRING "${ext}" 2 -1 extTail)
    string(TOUPPER "${extHead}" extHead)
    set(output "${CMAKE_CURRENT_BINARY_DIR}/embedded/${target}/${stem}.cpp")
    add_custom_command(OUTPUT "${output}"
      COMMAND "${CMAKE_COMMAND}" -DINPUT=${input} -DOUTPUT=${output} -DNAMESPACE=${namespace}
              -DSYMBOL=k${stem}${extHead}${extTail}
              -P "${CMAKE_SOURCE_DIR}/tools/cmake/EmbedText.cmake"
      DEPENDS "${input}" "${CMAKE_SOURCE_DIR}/tools/cmake/EmbedText.cmake"
      COMMENT "Embedding ${input}"
      VERBATIM)
    target_sources(${target} PRIVATE "${output}")
  endforeach()
endfunction()
