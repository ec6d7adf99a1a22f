# Development material of the build tree: made at configure time, kept out of the bundle.
set(ORLITH_DEV_DIR "${CMAKE_BINARY_DIR}/devcert")
execute_process(
  COMMAND bash "${CMAKE_SOURCE_DIR}/tools/devcert/make-dev-material.sh" "${ORLITH_DEV_DIR}"
  RESULT_VARIABLE _orlith_dev_result)
if(NOT _orlith_dev_result EQUAL 0)
  message(FATAL_ERROR "Could not make the development certificate and keys")
endif()
file(READ "${ORLITH_DEV_DIR}/update-signing.pub.txt" ORLITH_UPDATE_PUBLIC_KEY)
string(STRIP "${ORLITH_UPDATE_PUBLIC_KEY}" ORLITH_UPDATE_PUBLIC_KEY)

if(ORLITH_SERVICE_ORIGIN MATCHES "^https://(127\\.0\\.0\\.1|localhost)(:[0-9]+)?$")
  set(ORLITH_ORIGIN_IS_LOCAL_CXX true)
  set(ORLITH_DEV_CA "${ORLITH_DEV_DIR}/ca.pem")
  set(ORLITH_DEV_CERT "${ORLITH_DEV_DIR}/server.pem")
else()
  set(ORLITH_ORIGIN_IS_LOCAL_CXX false)
  set(ORLITH_DEV_CA "")
  set(ORLITH_DEV_CERT "")
endif()
string(REGEX MATCH ":([0-9]+)$" _orlith_port "${ORLITH_SERVICE_ORIGIN}")
set(ORLITH_STANDIN_PORT "${CMAKE_MATCH_1}")
if(NOT ORLITH_STANDIN_PORT)
  set(ORLITH_STANDIN_PORT 443)
endif()

# The service host and its "www." twin are fixed constants of the build, taken from the origin.
if(NOT ORLITH_SERVICE_ORIGIN MATCHES "^https?://([^/:?#]+)(:[0-9]+)?$")
  message(FATAL_ERROR "ORLITH_SERVICE_ORIGIN must be scheme://host[:port]: ${ORLITH_SERVICE_ORIGIN}")
endif()
string(TOLOWER "${CMAKE_MATCH_1}" ORLITH_SERVICE_HOST)
