# Fails when a file of ROOT/FOLDER includes a project header outside the
# folders in ALLOWED (comma-separated), or, with QT_FREE, any Qt header.
# Project headers are written from the root ("form/form.h"); a name without
# a folder is allowed only for files the build generates (Qt's .moc files,
# wayland-scanner's protocol headers). Writes STAMP when all is well.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" allowed "${ALLOWED}")
file(GLOB files ${ROOT}/${FOLDER}/*.h ${ROOT}/${FOLDER}/*.cpp)
set(faults "")
foreach(file IN LISTS files)
  file(RELATIVE_PATH name ${ROOT} ${file})
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS lines)
    if(line MATCHES "include[ \t]*\"([^\"]+)\"")
      set(header ${CMAKE_MATCH_1})
      get_filename_component(folder ${header} DIRECTORY)
      if(folder STREQUAL "")
        if(NOT header MATCHES "(\\.moc|-protocol\\.h)$")
          string(APPEND faults "  ${name} includes \"${header}\": write it from the project root\n")
        endif()
      elseif(NOT folder IN_LIST allowed)
        string(APPEND faults "  ${name} includes ${header}\n")
      endif()
    elseif(QT_FREE AND line MATCHES "include[ \t]*<Q")
      string(APPEND faults "  ${name} includes a Qt header, ${line}\n")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "${FOLDER}/ may include only from ${ALLOWED} "
          "(its link list; docs/ARCHITECTURE.md draws the layers):\n${faults}")
endif()
file(TOUCH ${STAMP})
