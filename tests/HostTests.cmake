# Native tests of the packaging tool: no Wine, fast.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(loftwick-pack-tests
    tests/StampTest.cpp
    tests/PackagerTest.cpp
    tests/PackFuzzTest.cpp
)
target_include_directories(loftwick-pack-tests PRIVATE tests)
target_link_libraries(loftwick-pack-tests PRIVATE loftwick-pack-core gtest_main)
target_compile_definitions(loftwick-pack-tests PRIVATE
    LOFTWICK_T_LAUNCHERS="${LOFTWICK_WINDOWS_BUILD}/bin")
loftwick_warnings(loftwick-pack-tests)
add_test(NAME pack COMMAND loftwick-pack-tests)
