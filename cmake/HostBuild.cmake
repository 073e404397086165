# The build machine's own loftwick-pack and its native tests. It stamps the
# launchers of the Windows build, expected in the parent directory (build/).
get_filename_component(windows_build ${CMAKE_BINARY_DIR}/.. ABSOLUTE)
set(LOFTWICK_WINDOWS_BUILD ${windows_build} CACHE PATH "The Windows build tree")

add_executable(loftwick-pack share/native/pack/PackEntry.cpp)
target_link_libraries(loftwick-pack PRIVATE loftwick-pack-core)
loftwick_warnings(loftwick-pack)

enable_testing()
include(tests/HostTests.cmake)
