# cmake -DIN=FILE -DOUT=FILE -DBINARY=PATH -P desktop_entry.cmake
#
# Writes the menu entry IN to OUT with its Exec naming the program by its
# full path BINARY. KWin lends its screenshot interface to a caller only
# through the entry whose Exec is the caller's binary itself, so the entry
# that is installed must name it so.
foreach(var IN ITEMS IN OUT BINARY)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "desktop_entry.cmake needs -D${var}=...")
  endif()
endforeach()
file(READ ${IN} entry)
string(REPLACE "\nExec=zentrim-screen\n" "\nExec=${BINARY}\n" named "${entry}")
if(named STREQUAL entry)
  message(FATAL_ERROR "${IN} has no line Exec=zentrim-screen to name ${BINARY} in")
endif()
file(WRITE ${OUT} "${named}")
