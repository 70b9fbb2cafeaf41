# cmake -DPROBE=<program> -P check_engine_links.cmake
# Fails when the engine's link closure reaches Qt Gui or Widgets. The probe must list Qt Core
# and libcurl, or readelf read nothing and the check would pass for the wrong reason.
execute_process(COMMAND readelf -d ${PROBE} OUTPUT_VARIABLE dynamic RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "readelf -d ${PROBE} failed")
endif()
string(REGEX MATCHALL "NEEDED[^\n]*" needed "${dynamic}")
foreach(library Qt6Core curl)
  if(NOT needed MATCHES "lib${library}")
    message(FATAL_ERROR "the probe does not list lib${library}; the check cannot see the links:\n${needed}")
  endif()
endforeach()
foreach(library Qt6Gui Qt6Widgets Qt6OpenGL)
  if(needed MATCHES "lib${library}")
    message(FATAL_ERROR "the transfer engine links lib${library}; it must link no window code:\n${needed}")
  endif()
endforeach()
message(STATUS "the engine links: ${needed}")
