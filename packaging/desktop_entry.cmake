# cmake -DIN=FILE -DOUT=FILE -DBINARY=PATH -P desktop_entry.cmake
#
# Writes the menu entry IN to OUT with its Exec and TryExec naming the
# program by its full path BINARY. KWin lends its screenshot interface to a
# caller only through the entry whose Exec is the caller's binary itself, so
# the entry that is installed must name it so; TryExec too, or an entry
# installed outside PATH counts as absent (KDE drops entries whose TryExec
# cannot be found).
foreach(var IN ITEMS IN OUT BINARY)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "desktop_entry.cmake needs -D${var}=...")
  endif()
endforeach()
file(READ ${IN} entry)
foreach(key IN ITEMS Exec TryExec)
  if(NOT entry MATCHES "\n${key}=zentrim-screen[ \n]")
    message(FATAL_ERROR "${IN} has no line ${key}=zentrim-screen to name ${BINARY} in")
  endif()
endforeach()
# Every Exec (the desktop actions' too) and TryExec, keeping their arguments.
string(REGEX REPLACE "\n(Exec|TryExec)=zentrim-screen([ \n])" "\n\\1=${BINARY}\\2" named
                     "${entry}")
file(WRITE ${OUT} "${named}")
