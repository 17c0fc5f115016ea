# Linux build: the module as a shared library, the stand-in host and game, pfe-sim and the tests.

find_package(Threads REQUIRED)

# ---- the stand-in host library (defines the host functions and the game) ----------------------
add_library(ScriptHookRDR2 SHARED
    standin/host_api.cpp
    standin/game.cpp
    standin/natives.cpp
    standin/world.cpp
    standin/fiber_posix.cpp
    standin/module_loader_posix.cpp
    standin/platform_posix.cpp
    standin/session_script.cpp
    standin/screen.cpp
    standin/xml_reader.cpp
    standin/play.cpp)
target_include_directories(ScriptHookRDR2 PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(ScriptHookRDR2 PUBLIC ${CMAKE_DL_LIBS} Threads::Threads)
pfe_warnings(ScriptHookRDR2)

# ---- the module -------------------------------------------------------------------------------
# Only DllMain is exported; -fno-gnu-unique keeps the library unloadable so each load is fresh.
add_library(PedFeatureEditor SHARED ${PFE_MODULE_SOURCES})
target_include_directories(PedFeatureEditor PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(PedFeatureEditor PRIVATE ${PFE_MODULE_FLAGS} -fvisibility=hidden
                                                -fvisibility-inlines-hidden -fno-gnu-unique)
target_link_libraries(PedFeatureEditor PRIVATE ScriptHookRDR2)
target_link_options(PedFeatureEditor PRIVATE -Wl,--no-undefined -Wl,-Bsymbolic)
pfe_warnings(PedFeatureEditor)

# The module's code as a static library, for unit tests of its pure parts.
add_library(pfe_module_static STATIC ${PFE_MODULE_SOURCES})
target_include_directories(pfe_module_static PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(pfe_module_static PRIVATE ${PFE_MODULE_FLAGS})
target_link_libraries(pfe_module_static PUBLIC ScriptHookRDR2)
pfe_warnings(pfe_module_static)

# ---- pfe-sim ----------------------------------------------------------------------------------
# The feature table is compiled in for `pfe-sim show`, which names the features of an export.
add_executable(pfe-sim standin/pfe_sim.cpp src/data/face_features.cpp)
target_include_directories(pfe-sim PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(pfe-sim PRIVATE ScriptHookRDR2)
set_target_properties(pfe-sim PROPERTIES BUILD_RPATH "$ORIGIN")
add_dependencies(pfe-sim PedFeatureEditor)
pfe_warnings(pfe-sim)

enable_testing()
add_subdirectory(tests)
add_subdirectory(bench)
