# Linux build: the module as a shared library, the stand-in host library it links, the
# pfe-sim tool that drives the stand-in, and the tests.
#
#   libPedFeatureEditor.so   the module (src/), linked against the host library only
#   libScriptHookRDR2.so     the null host and game (standin/): host functions, fibers, world,
#                            natives, module loading
#   pfe_sim_core             the tool's parts (sim/): session scripts, screen, play, show
#   pfe-sim                  the tool's command line

find_package(Threads REQUIRED)

# ---- the stand-in host library ------------------------------------------------------------
add_library(ScriptHookRDR2 SHARED ${PFE_ROOT}/standin/host_api.cpp ${PFE_STANDIN_SOURCES})
target_include_directories(ScriptHookRDR2 PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(ScriptHookRDR2 PUBLIC ${CMAKE_DL_LIBS} Threads::Threads)
pfe_warnings(ScriptHookRDR2)

# ---- the module -----------------------------------------------------------------------------
# Compiled once: the shared library and the unit tests of its pure parts both use these
# objects. -fno-gnu-unique keeps the library unloadable so each load is fresh.
add_library(pfe_module_objects OBJECT ${PFE_MODULE_SOURCES})
target_include_directories(pfe_module_objects PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(pfe_module_objects PRIVATE ${PFE_MODULE_FLAGS} -fvisibility=hidden
                                                  -fvisibility-inlines-hidden -fno-gnu-unique)
set_target_properties(pfe_module_objects PROPERTIES POSITION_INDEPENDENT_CODE ON)
pfe_warnings(pfe_module_objects)

# Only DllMain is exported.
add_library(PedFeatureEditor SHARED $<TARGET_OBJECTS:pfe_module_objects>)
target_link_libraries(PedFeatureEditor PRIVATE ScriptHookRDR2)
target_link_options(PedFeatureEditor PRIVATE -Wl,--no-undefined -Wl,-Bsymbolic)

# ---- pfe-sim --------------------------------------------------------------------------------
add_library(pfe_sim_core STATIC ${PFE_SIM_SOURCES})
target_include_directories(pfe_sim_core PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(pfe_sim_core PUBLIC ScriptHookRDR2 ${PFE_SIM_LIBRARIES})
pfe_warnings(pfe_sim_core)

add_executable(pfe-sim ${PFE_ROOT}/sim/pfe_sim.cpp)
target_link_libraries(pfe-sim PRIVATE pfe_sim_core)
set_target_properties(pfe-sim PROPERTIES BUILD_RPATH "$ORIGIN")
add_dependencies(pfe-sim PedFeatureEditor)
pfe_warnings(pfe-sim)

enable_testing()
add_subdirectory(tests)
add_subdirectory(bench)
