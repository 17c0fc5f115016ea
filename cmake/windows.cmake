# Windows build, cross-compiled with MinGW-w64 (cmake/mingw-w64-x86_64.cmake):
#   PedFeatureEditor.asi  the module for the game
#   ScriptHookRDR2.dll    the stand-in host: the eight host functions under their decorated names
#   pfe-sim.exe           the stand-in game, the session-script runner and `show`, for Wine
#                         (`play` needs a POSIX terminal and stays Linux-only)
# plus the checks of tests/windows and the release ZIP.

if(NOT PFE_DLLTOOL OR NOT PFE_OBJDUMP OR NOT PFE_WINDRES)
  message(FATAL_ERROR "Configure the Windows build with the toolchain file "
                      "cmake/mingw-w64-x86_64.cmake (cmake --preset mingw).")
endif()

# No MinGW runtime DLL may be needed beside the module or the stand-in.
set(PFE_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

# ---- the host's import library ----------------------------------------------------------------
# Maps the plain extern "C" names of src/host/host_interface.h onto the decorated names that
# ScriptHookRDR2.dll exports.
set(PFE_HOST_DEF ${CMAKE_SOURCE_DIR}/cmake/ScriptHookRDR2.def)
set(PFE_HOST_IMPORTS ${CMAKE_BINARY_DIR}/lib/libScriptHookRDR2_imports.a)
add_custom_command(OUTPUT ${PFE_HOST_IMPORTS}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/lib
                   COMMAND ${PFE_DLLTOOL} --input-def ${PFE_HOST_DEF} --output-lib ${PFE_HOST_IMPORTS}
                   DEPENDS ${PFE_HOST_DEF}
                   COMMENT "Making the ScriptHookRDR2.dll import library")
add_custom_target(pfe_host_imports DEPENDS ${PFE_HOST_IMPORTS})

# ---- the module -------------------------------------------------------------------------------
# The version resource (product name, description, version) that Explorer shows in the file's
# Properties: made from the project's version and compiled by windres into an object of its own,
# so that none of the C++ compile options reach windres.
set(PFE_MODULE_RC ${CMAKE_BINARY_DIR}/generated/PedFeatureEditor.rc)
set(PFE_MODULE_RES ${CMAKE_BINARY_DIR}/generated/PedFeatureEditor_rc.o)
configure_file(${CMAKE_SOURCE_DIR}/cmake/PedFeatureEditor.rc.in ${PFE_MODULE_RC} @ONLY)
add_custom_command(OUTPUT ${PFE_MODULE_RES}
                   COMMAND ${PFE_WINDRES} --input-format=rc --output-format=coff
                           -o ${PFE_MODULE_RES} ${PFE_MODULE_RC}
                   DEPENDS ${PFE_MODULE_RC}
                   COMMENT "Compiling the version resource of PedFeatureEditor.asi")

# A DLL named PedFeatureEditor.asi. The C runtime's DLL start-up runs the module's static
# initialisation and then its DllMain. Nothing is exported: the host needs no export, it only
# loads the file.
add_library(PedFeatureEditor MODULE ${PFE_MODULE_SOURCES} ${PFE_MODULE_RES})
set_target_properties(PedFeatureEditor PROPERTIES PREFIX "" SUFFIX ".asi")
target_include_directories(PedFeatureEditor PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(PedFeatureEditor PRIVATE ${PFE_MODULE_FLAGS})
target_link_libraries(PedFeatureEditor PRIVATE ${PFE_HOST_IMPORTS})
# The release module carries no symbol table; the game has no use for one.
target_link_options(PedFeatureEditor PRIVATE ${PFE_STATIC_RUNTIME} -Wl,--exclude-all-symbols
                                             -Wl,--no-insert-timestamp $<$<CONFIG:Release>:-s>)
set_target_properties(PedFeatureEditor PROPERTIES LINK_DEPENDS ${PFE_HOST_IMPORTS})
add_dependencies(PedFeatureEditor pfe_host_imports)
pfe_warnings(PedFeatureEditor)

# ---- pfe-sim.exe and the stand-in host ---------------------------------------------------------
# The same two parts as on Linux, the null host and game (standin/) and the tool (sim/), but
# the game is linked into pfe-sim.exe, which exports it, and ScriptHookRDR2.dll holds only the
# host functions, reaching the game through imports from pfe-sim.exe. Each image carries its
# own static C++ runtime, so this keeps the game, its streams and its exceptions in one copy
# of it: an exception thrown by one runtime copy and caught by another is not to be trusted.
add_executable(pfe-sim ${PFE_ROOT}/sim/pfe_sim.cpp ${PFE_STANDIN_SOURCES} ${PFE_SIM_SOURCES})
target_include_directories(pfe-sim PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/src)
set_target_properties(pfe-sim PROPERTIES ENABLE_EXPORTS ON)
target_link_options(pfe-sim PRIVATE ${PFE_STATIC_RUNTIME} -Wl,--export-all-symbols)
add_dependencies(pfe-sim PedFeatureEditor)
pfe_warnings(pfe-sim)

# Its exports: each decorated name bound to the plain definition, made from the module's
# import definitions, so that the eight names have one home.
file(STRINGS ${PFE_HOST_DEF} PFE_HOST_IMPORT_LINES REGEX " == ")
set(PFE_STANDIN_DEF_TEXT "LIBRARY \"ScriptHookRDR2.dll\"\nEXPORTS\n")
foreach(line IN LISTS PFE_HOST_IMPORT_LINES)
  string(REGEX REPLACE "^ *([A-Za-z0-9]+) == (.+)$" "    \\2 = \\1\n" export "${line}")
  string(APPEND PFE_STANDIN_DEF_TEXT "${export}")
endforeach()
set(PFE_STANDIN_DEF ${CMAKE_BINARY_DIR}/generated/ScriptHookRDR2_standin.def)
file(WRITE ${PFE_STANDIN_DEF} "${PFE_STANDIN_DEF_TEXT}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PFE_HOST_DEF})
add_library(ScriptHookRDR2 SHARED ${PFE_ROOT}/standin/host_api.cpp ${PFE_STANDIN_DEF})
set_target_properties(ScriptHookRDR2 PROPERTIES PREFIX "")
target_include_directories(ScriptHookRDR2 PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(ScriptHookRDR2 PRIVATE pfe-sim)
target_link_options(ScriptHookRDR2 PRIVATE ${PFE_STATIC_RUNTIME})
pfe_warnings(ScriptHookRDR2)

enable_testing()
add_subdirectory(tests/windows)

# ---- release ZIP ------------------------------------------------------------------------------
# `cpack` in the build folder makes PedFeatureEditor-<version>-win64.zip: the module, the
# install text and the licence, nothing of the stand-in.
install(TARGETS PedFeatureEditor LIBRARY DESTINATION . RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/INSTALL.txt ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME PedFeatureEditor)
set(CPACK_PACKAGE_VENDOR "PedFeatureEditor")
set(CPACK_PACKAGE_FILE_NAME PedFeatureEditor-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
