# The build machine's own loftwick-pack and its native tests. It stamps the
# launchers of the Windows build, expected in the parent directory (build/).
get_filename_component(windows_build ${CMAKE_BINARY_DIR}/.. ABSOLUTE)
set(LOFTWICK_WINDOWS_BUILD ${windows_build} CACHE PATH "The Windows build tree")

add_executable(loftwick-pack share/native/pack/PackEntry.cpp)
target_link_libraries(loftwick-pack PRIVATE loftwick-pack-core)
# Linked statically, zlib and the C++ and C libraries included: it runs on
# any x86-64 Linux, however old its glibc (checked by the pack checks).
target_link_options(loftwick-pack PRIVATE -static)
loftwick_warnings(loftwick-pack)

enable_testing()
include(tests/HostTests.cmake)
