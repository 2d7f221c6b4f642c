# The Windows program update.exe and the libraries its tests share with it.
enable_language(RC)
include(cmake/delay-imports.cmake)

# Everything of the program but its entry point, so the Windows tests can link
# the same code.
add_library(updater_win STATIC
  src/win/window_text.cpp
  src/win/dll_search.cpp
  src/win/file_holders.cpp
  src/win/long_path.cpp
  src/win/system_dlls.cpp
  src/win/sha256.cpp
  src/win/message_pump.cpp
  src/verify/own_fingerprint.cpp
  src/verify/own_signature.cpp
  src/verify/medium_proof.cpp
  src/app/browse_folder.cpp
  src/app/install_folder_dialog.cpp
  src/registry/install_record.cpp
  src/copy/chunked_copy.cpp
  src/copy/flush_pace.cpp
  src/win/now_ms.cpp
  src/copy/copy_file.cpp
  src/copy/safe_replace.cpp
  src/copy/leftover_temps.cpp
  src/copy/copy_progress.cpp
  src/copy/copy_dialog.cpp
  src/copy/medium.cpp
  src/preflight/preflight.cpp
  src/versions/game_files.cpp
  src/versions/identify_dialog.cpp
)
target_include_directories(updater_win PUBLIC src ${CMAKE_CURRENT_SOURCE_DIR})
# The core calls ShowMessage, so the boxes come after it on the link line,
# and every system DLL but kernel32 comes delay-loaded after them all.
target_link_libraries(updater_win PUBLIC updater_core updater_message_box updater_win_text
  ${UPDATER_DELAY_LIBRARIES})

# Static, so the program runs from the medium with no DLL beside it.
set(UPDATER_WINDOWS_LINK_OPTIONS -static -static-libgcc -static-libstdc++)

add_executable(update WIN32 src/app/win_main.cpp res/update.rc)
target_link_libraries(update PRIVATE updater_win)
# Stripped: the static runtime brings its debug information along, which
# would more than double the program on the medium.
# Terminal-server aware, so Remote Desktop does not shim it; ASLR and DEP on.
target_link_options(update PRIVATE ${UPDATER_WINDOWS_LINK_OPTIONS} -mwindows -s
  -Wl,--tsaware,--dynamicbase,--nxcompat)
set_source_files_properties(res/update.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/res/resource.h;${CMAKE_CURRENT_SOURCE_DIR}/res/update.manifest;${CMAKE_CURRENT_SOURCE_DIR}/res/update.ico")
