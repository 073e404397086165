# The build machine's own loftwick-pack and its native tests. It stamps the
# launchers of the Windows build, expected in the parent directory (build/).
get_filename_component(windows_build ${CMAKE_BINARY_DIR}/.. ABSOLUTE)
set(LOFTWICK_WINDOWS_BUILD ${windows_build} CACHE PATH "The Windows build tree")

# The Linux launcher: the platform-neutral launcher code as it is, over the
# Linux side of the support library. It loads the runtime's libjli.so, so it
# links the C library dynamically; the C++ library goes in.
add_library(loftwick-linux-core STATIC
    ${LOFTWICK_SHARED_LAUNCHER_SOURCES}
    linux/native/common/LinuxDll.cpp
    linux/native/common/LinuxErrorHandling.cpp
    linux/native/common/LinuxFileUtils.cpp
    linux/native/common/LinuxSysInfo.cpp
    linux/native/common/LinuxTstrings.cpp
    linux/native/applauncher/LinuxImageLayout.cpp
)
target_include_directories(loftwick-linux-core PUBLIC share/native/common share/native/applauncher)
target_compile_definitions(loftwick-linux-core PUBLIC
    "LOFTWICK_EXPORT=__attribute__((visibility(\"default\")))")
target_link_libraries(loftwick-linux-core PUBLIC ${CMAKE_DL_LIBS})
loftwick_warnings(loftwick-linux-core)

# make fuzz: only the readers and parsers, with libFuzzer and the sanitizers.
option(LOFTWICK_FUZZ "Build the fuzz targets with libFuzzer (preset fuzz)" OFF)
if(LOFTWICK_FUZZ)
    include(tests/fuzz/Fuzz.cmake)
    return()
endif()

add_executable(loftwick-pack share/native/command/PackEntry.cpp)
target_link_libraries(loftwick-pack PRIVATE loftwick-command)
# Linked statically, zlib and the C++ and C libraries included: it runs on
# any x86-64 Linux, however old its glibc (checked by the pack checks).
target_link_options(loftwick-pack PRIVATE -static)
loftwick_warnings(loftwick-pack)

# The Linux programs that link the C library dynamically run on glibc 2.17
# and later, as the Java runtimes they start (LinuxGlibcFloor.cpp): the C++
# library goes in, the unwinder is the system's libgcc_s.so.1, and libdl
# and libpthread are named, where an older glibc keeps what they bind to.
function(loftwick_glibc_floor target)
    foreach(library libdl.so.2 libpthread.so.0)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library}
                        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        list(APPEND libraries ${path})
    endforeach()
    target_link_options(${target} PRIVATE -static-libstdc++ -shared-libgcc)
    target_link_libraries(${target} PRIVATE -Wl,--push-state,--no-as-needed ${libraries} -Wl,--pop-state)
endfunction()

# The inspector, for Linux images: the shared inspection over this core.
add_executable(loftwick-inspect
    share/native/inspect/InspectCommand.cpp
    share/native/inspect/Inspection.cpp
    linux/native/inspect/LinuxInspectMain.cpp
    linux/native/inspect/LinuxInspection.cpp
    linux/native/common/LinuxGlibcFloor.cpp
)
target_include_directories(loftwick-inspect PRIVATE share/native/inspect)
target_link_libraries(loftwick-inspect PRIVATE loftwick-linux-core loftwick-appcheck)
loftwick_glibc_floor(loftwick-inspect)
loftwick_warnings(loftwick-inspect)

add_executable(loftwick-launcher linux/native/applauncher/LinuxLauncher.cpp
               linux/native/applauncher/DesktopDialog.cpp
               linux/native/applauncher/DesktopReport.cpp
               linux/native/common/LinuxGlibcFloor.cpp)
target_link_libraries(loftwick-launcher PRIVATE loftwick-linux-core)
target_link_options(loftwick-launcher PRIVATE -Wl,--export-dynamic-symbol=jvmLauncherGetAPI)
loftwick_glibc_floor(loftwick-launcher)
loftwick_warnings(loftwick-launcher)

# make bench: the baseline of the Linux launcher's startup.
add_executable(loftwick-jli-caller bench/JliCaller.c)
target_link_libraries(loftwick-jli-caller PRIVATE ${CMAKE_DL_LIBS})

enable_testing()
include(tests/HostTests.cmake)
include(tests/fuzz/Fuzz.cmake)
