# The source lists of the three parts, named once for the Linux, Windows and fuzz builds.
#   PFE_MODULE_SOURCES   the editor module (src/)
#   PFE_STANDIN_SOURCES  the null host and game (standin/): all the module ever links or loads
#   PFE_SIM_SOURCES      the tool that drives the stand-in (sim/), without its main
# PFE_PLATFORM is "posix" or "windows"; the module's save unit and the stand-in have one file
# of each kind per platform.

set(PFE_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)

set(PFE_MODULE_SOURCES
    ${PFE_ROOT}/src/host/entry.cpp
    ${PFE_ROOT}/src/host/keyboard.cpp
    ${PFE_ROOT}/src/host/natives.cpp
    ${PFE_ROOT}/src/editor/format_string.cpp
    ${PFE_ROOT}/src/editor/frame_loop.cpp
    ${PFE_ROOT}/src/editor/target_selection.cpp
    ${PFE_ROOT}/src/editor/editing_session.cpp
    ${PFE_ROOT}/src/editor/feature_overlay.cpp
    ${PFE_ROOT}/src/editor/xml_export.cpp
    ${PFE_ROOT}/src/platform/save_file_${PFE_PLATFORM}.cpp
    ${PFE_ROOT}/src/data/model_catalogue.cpp
    ${PFE_ROOT}/src/data/ped_model_names.cpp
    ${PFE_ROOT}/src/data/face_features.cpp)

# The game half of the stand-in; the host functions (standin/host_api.cpp) are added where
# they are linked: into the host library on Linux, into ScriptHookRDR2.dll on Windows.
set(PFE_STANDIN_SOURCES
    ${PFE_ROOT}/standin/game.cpp
    ${PFE_ROOT}/standin/natives.cpp
    ${PFE_ROOT}/standin/world.cpp
    ${PFE_ROOT}/standin/fiber_${PFE_PLATFORM}.cpp
    ${PFE_ROOT}/standin/module_loader_${PFE_PLATFORM}.cpp
    ${PFE_ROOT}/standin/platform_${PFE_PLATFORM}.cpp)

# `show` names the features of an export from the module's own table.
set(PFE_SIM_SOURCES
    ${PFE_ROOT}/sim/command_line.cpp
    ${PFE_ROOT}/sim/failure.cpp
    ${PFE_ROOT}/sim/temporary_directory.cpp
    ${PFE_ROOT}/sim/session_script.cpp
    ${PFE_ROOT}/sim/input_file.cpp
    ${PFE_ROOT}/sim/printable.cpp
    ${PFE_ROOT}/sim/screen.cpp
    ${PFE_ROOT}/sim/terminal_colors.cpp
    ${PFE_ROOT}/sim/xml_reader.cpp
    ${PFE_ROOT}/src/data/face_features.cpp)
if(PFE_PLATFORM STREQUAL "posix")
  # play needs a POSIX terminal and the terminal library; the colours of print screen too.
  list(APPEND PFE_SIM_SOURCES ${PFE_ROOT}/sim/play.cpp ${PFE_ROOT}/sim/play_keys.cpp
       ${PFE_ROOT}/sim/play_lines.cpp ${PFE_ROOT}/sim/play_terminal.cpp
       ${PFE_ROOT}/sim/ending_signals.cpp)
  set(CURSES_NEED_NCURSES TRUE)
  find_package(Curses REQUIRED)
  set(PFE_SIM_LIBRARIES ${CURSES_LIBRARIES})
endif()
