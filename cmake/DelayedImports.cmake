# Libraries that draw in user32, whose start sets up the window system (under Wine a
# good part of a short run), are loaded at their first call rather than at the start,
# so that the engine's library, which needs user32 too, can load beside other work.
# The 64-bit build only: binutils' delay imports for 32-bit programs jump to nowhere.
string(REGEX REPLACE "-g(cc|\\+\\+).*$" "" TAVISK_MINGW_PREFIX "${CMAKE_C_COMPILER}")

function(tavisk_link_on_first_call target)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_libraries(${target} PUBLIC ${ARGN})
    return()
  endif()
  foreach(dll ${ARGN})
    set(library ${CMAKE_BINARY_DIR}/lib${dll}_on_first_call.a)
    add_custom_command(OUTPUT ${library}
      COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/delayed-import.sh ${TAVISK_MINGW_PREFIX} ${dll} ${library}
      DEPENDS ${CMAKE_SOURCE_DIR}/cmake/delayed-import.sh VERBATIM)
    add_custom_target(${dll}_on_first_call DEPENDS ${library})
    add_dependencies(${target} ${dll}_on_first_call)
    target_link_libraries(${target} PUBLIC ${library})
  endforeach()
  target_link_libraries(${target} PUBLIC delayimp)
endfunction()
