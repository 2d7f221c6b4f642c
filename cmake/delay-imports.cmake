# Delay-import libraries for the system DLLs update.exe uses besides
# kernel32. A DLL named in the import table is mapped by the loader before
# WinMain runs, searched for in the program's folder first: on a medium that
# folder is the publisher's or a stranger's. Delay-loaded, each DLL is mapped
# at its first call, after WinMain has restricted the search to System32.
#
# Each .def in delay-imports/ lists the functions the program may call
# from that DLL. A call to any other function is resolved by the toolchain's
# default import libraries instead, which puts the DLL back into the import
# table: the imports test refuses that, so add the function to its list.
# The binutils of the toolchain: i686-w64-mingw32-dlltool and its siblings.
string(REGEX REPLACE "g\\+\\+(-posix)?$" "" delay_tool_prefix ${CMAKE_CXX_COMPILER})
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(delay_machine i386)
else()
  set(delay_machine i386:x86-64)
endif()

set(UPDATER_DELAY_LIBRARIES)
foreach(dll advapi32 bcrypt comctl32 ole32 shell32 user32)
  set(def_in ${CMAKE_CURRENT_SOURCE_DIR}/cmake/delay-imports/${dll}.def)
  set(def_out ${CMAKE_BINARY_DIR}/delay-imports/${dll}.def)
  set(lib ${CMAKE_BINARY_DIR}/delay-imports/lib${dll}_delay.a)
  # x64 has no stdcall decoration: the same list without the @n suffixes.
  file(READ ${def_in} def_text)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    string(REGEX REPLACE "@[0-9]+" "" def_text "${def_text}")
  endif()
  file(WRITE ${def_out} "${def_text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_in})
  add_custom_command(
    OUTPUT ${lib}
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cmake/make-delay-lib.sh ${delay_tool_prefix}
            ${delay_machine} ${def_out} ${lib}
    DEPENDS ${def_out} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/make-delay-lib.sh
    COMMENT "delay-import library for ${dll}.dll")
  add_custom_target(delay_${dll} DEPENDS ${lib})
  add_library(updater_delay_${dll} INTERFACE)
  add_dependencies(updater_delay_${dll} delay_${dll})
  target_link_libraries(updater_delay_${dll} INTERFACE ${lib})
  list(APPEND UPDATER_DELAY_LIBRARIES updater_delay_${dll})
endforeach()
