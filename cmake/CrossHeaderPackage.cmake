# Header-only libraries of the build host for the Windows cross build. The host's Debian
# packages point their targets at /usr/include, which would put glibc's headers in front of
# mingw's; instead each package gets an include folder of its own that holds only a link to
# its header folder.
function(nj_cross_header_package target folder)
  set(_src /usr/include/${folder})
  if(NOT IS_DIRECTORY ${_src})
    set(${CMAKE_FIND_PACKAGE_NAME}_FOUND FALSE PARENT_SCOPE)
    set(${CMAKE_FIND_PACKAGE_NAME}_NOT_FOUND_MESSAGE "${_src} is missing" PARENT_SCOPE)
    return()
  endif()
  set(_inc ${CMAKE_BINARY_DIR}/cross-include/${CMAKE_FIND_PACKAGE_NAME})
  file(MAKE_DIRECTORY ${_inc})
  if(NOT EXISTS ${_inc}/${folder})
    file(CREATE_LINK ${_src} ${_inc}/${folder} SYMBOLIC)
  endif()
  if(NOT TARGET ${target})
    add_library(${target} INTERFACE IMPORTED)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_inc})
  endif()
  set(${CMAKE_FIND_PACKAGE_NAME}_FOUND TRUE PARENT_SCOPE)
endfunction()
