# The local origin of a build tree, unless one is given: 127.0.0.1 on a port of this tree's own,
# chosen free once at configure time and then kept in the cache, so that two build trees (and
# their stand-ins) never share a port. An explicit -DORLITH_SERVICE_ORIGIN always wins.
if(NOT DEFINED CACHE{ORLITH_SERVICE_ORIGIN})
  # Below the kernel's ephemeral range, where the tests' own stand-ins take their ports.
  set(_orlith_first_port 20000)
  set(_orlith_port_count 12000)
  string(SHA256 _orlith_tree_hash "${CMAKE_BINARY_DIR}")
  string(SUBSTRING "${_orlith_tree_hash}" 0 6 _orlith_tree_hash)
  math(EXPR _orlith_offset "0x${_orlith_tree_hash} % ${_orlith_port_count}")
  set(_orlith_port "")
  foreach(_orlith_try RANGE 0 40)
    math(EXPR _orlith_candidate
         "${_orlith_first_port} + (${_orlith_offset} + ${_orlith_try} * 7919) % ${_orlith_port_count}")
    # A port that accepts a connection is taken; a refused one is free.
    execute_process(
      COMMAND bash -c "exec 3<>/dev/tcp/127.0.0.1/${_orlith_candidate}"
      RESULT_VARIABLE _orlith_taken OUTPUT_QUIET ERROR_QUIET TIMEOUT 2)
    if(NOT _orlith_taken EQUAL 0)
      set(_orlith_port ${_orlith_candidate})
      break()
    endif()
  endforeach()
  if(NOT _orlith_port)
    message(FATAL_ERROR "No free local port for the stand-in service; pass -DORLITH_SERVICE_ORIGIN")
  endif()
  set(ORLITH_SERVICE_ORIGIN "https://127.0.0.1:${_orlith_port}" CACHE STRING
      "Compiled-in service origin (scheme://host[:port])")
  message(STATUS "Local service origin of this build tree: ${ORLITH_SERVICE_ORIGIN}")
endif()
