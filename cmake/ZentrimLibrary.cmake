# One static library per folder, named for what the folder holds.
#
# zs_add_library(TARGET FOLDER folder [QT_FREE] [LINK target...] [SOURCES file...])
#
# Compiles every .cpp of `folder` (not its subfolders) and the extra
# SOURCES, and links the LINK targets publicly. Every file is included from
# the project root ("screen/x11_shm_capture.h"). The link list is also the
# list of what the folder may include: before the library compiles, every
# `#include "folder/file.h"` of its files must name its own folder or the
# folder of a library it links, directly or through theirs, so a layer that
# reaches past its links fails the build (cmake/CheckIncludes.cmake).
# QT_FREE: no Qt header either.
function(zs_add_library target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "QT_FREE" "FOLDER" "LINK;SOURCES")
  set(dir ${PROJECT_SOURCE_DIR}/${arg_FOLDER})
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${dir}/*.h)
  add_library(${target} STATIC ${sources} ${headers} ${arg_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${arg_LINK})

  set(allowed ${arg_FOLDER})
  foreach(dep IN LISTS arg_LINK)
    if(TARGET ${dep})
      get_target_property(reach ${dep} ZS_REACH)
      if(reach)
        list(APPEND allowed ${reach})
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  set_target_properties(${target} PROPERTIES ZS_REACH "${allowed}")

  string(REPLACE ";" "," allowed_arg "${allowed}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.includes-checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR} -DFOLDER=${arg_FOLDER}
            -DALLOWED=${allowed_arg} -DQT_FREE=${arg_QT_FREE} -DSTAMP=${stamp}
            -P ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    DEPENDS ${sources} ${headers} ${PROJECT_SOURCE_DIR}/cmake/CheckIncludes.cmake
    COMMENT "Checking what ${arg_FOLDER}/ includes"
    VERBATIM)
  target_sources(${target} PRIVATE ${stamp})
endfunction()
