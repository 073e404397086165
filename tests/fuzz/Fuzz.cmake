# Fuzz targets of the readers and parsers that take what users hand the
# tools. In the native build each links a replay driver, and make test runs
# it once over its seed corpus (tests/fuzz/corpus/NAME); in the preset
# "fuzz" (clang, LOFTWICK_FUZZ) each links libFuzzer with AddressSanitizer
# and UndefinedBehaviorSanitizer, and make fuzz runs it for minutes.
set(loftwick_fuzz_targets
    ZipArchive:loftwick-appcheck
    Manifest:loftwick-appcheck
    ClassFile:loftwick-appcheck
    Jimage:loftwick-appcheck
    ElfFile:loftwick-pack-core
    CfgFile:loftwick-linux-core
    IconPe:loftwick-pack-core)
foreach(entry ${loftwick_fuzz_targets})
    string(REPLACE ":" ";" entry ${entry})
    list(GET entry 0 name)
    list(GET entry 1 library)
    add_executable(fuzz-${name} ${CMAKE_SOURCE_DIR}/tests/fuzz/${name}Fuzz.cpp)
    target_link_libraries(fuzz-${name} PRIVATE ${library})
    loftwick_warnings(fuzz-${name})
    if(LOFTWICK_FUZZ)
        target_link_options(fuzz-${name} PRIVATE -fsanitize=fuzzer)
    else()
        target_sources(fuzz-${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz/ReplayMain.cpp)
        add_test(NAME fuzz-replay-${name}
                 COMMAND fuzz-${name} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
    endif()
endforeach()
