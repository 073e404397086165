# Native tests of the packaging tool: no Wine, fast.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(loftwick-pack-tests
    tests/StampTest.cpp
    tests/PackagerTest.cpp
    tests/PackFuzzTest.cpp
    tests/InstallerTest.cpp
    tests/LinuxPackageTest.cpp
    tests/QuotingTest.cpp
    tests/AppCheckTest.cpp
    tests/JimageFileTest.cpp
    tests/ZipArchiveTest.cpp
    tests/RuntimeNeedsTest.cpp
    tests/ProjectFileTest.cpp
    tests/SigningTest.cpp
    tests/RepositoryTest.cpp
)
target_include_directories(loftwick-pack-tests PRIVATE tests)
target_link_libraries(loftwick-pack-tests PRIVATE loftwick-command gtest_main)
target_compile_definitions(loftwick-pack-tests PRIVATE
    LOFTWICK_T_LAUNCHERS="${LOFTWICK_WINDOWS_BUILD}/bin" LOFTWICK_T_SOURCE="${CMAKE_SOURCE_DIR}")
loftwick_warnings(loftwick-pack-tests)
add_test(NAME pack COMMAND loftwick-pack-tests)

# The platform-neutral units' table tests, the same sources as under Wine,
# natively over the Linux side of the support library.
add_executable(loftwick-linux-unit-tests
    tests/CfgFileTest.cpp
    tests/OutputTailTest.cpp
    tests/LinuxTstringsTest.cpp
    tests/TestFiles.cpp
    tests/LinuxTestFiles.cpp
)
target_include_directories(loftwick-linux-unit-tests PRIVATE tests)
target_link_libraries(loftwick-linux-unit-tests PRIVATE loftwick-linux-core gtest_main)
loftwick_warnings(loftwick-linux-unit-tests)
add_test(NAME linux-unit COMMAND loftwick-linux-unit-tests)

# Checks that need the Windows build as well: a packed image passes the
# end-to-end suite under Wine, Windows reads its stamps, and pefile,
# osslsigncode, loftwick-pack.exe and loftwick-inspect agree with it.
set(packed ${CMAKE_BINARY_DIR}/packed)
add_test(NAME packed-image
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/pack_checks.py fixture
                 ${LOFTWICK_WINDOWS_BUILD} $<TARGET_FILE:loftwick-pack> ${packed})
set_tests_properties(packed-image PROPERTIES FIXTURES_SETUP packed)
string(REPLACE "/" "\\" packed_exe "Z:${packed}/Packed/Packed.exe")
add_test(NAME end-to-end-packed
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh --gtest ${LOFTWICK_WINDOWS_BUILD}/wineprefix
                 ${LOFTWICK_WINDOWS_BUILD}/bin/loftwick-e2e-tests.exe
                 --gtest_filter=-LauncherResourcesTest.*)
set_tests_properties(end-to-end-packed PROPERTIES FIXTURES_REQUIRED packed TIMEOUT 600
                     ENVIRONMENT "LC_ALL=en_US.UTF-8;LOFTWICK_T_LAUNCHER=${packed_exe}")
add_test(NAME pack-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/pack_checks.py checks
                 ${LOFTWICK_WINDOWS_BUILD} $<TARGET_FILE:loftwick-pack> ${CMAKE_BINARY_DIR}/pack-checks)
set_tests_properties(pack-checks PROPERTIES TIMEOUT 300)

# The installer step against msitools and Windows Installer under Wine, in a
# prefix of its own: install, upgrade, refused downgrade, file types,
# uninstall, per-machine, signing.
add_test(NAME installer-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/installer_checks.py
                 ${LOFTWICK_WINDOWS_BUILD} $<TARGET_FILE:loftwick-pack> ${CMAKE_BINARY_DIR}/installer-checks)
set_tests_properties(installer-checks PROPERTIES TIMEOUT 900 ENVIRONMENT "LC_ALL=en_US.UTF-8")

# A stand-in runtime for the Linux launcher: lib/libjli.so records the
# arguments it is handed, byte for byte.
add_library(standin-libjli SHARED tests/standin/StandInLibjli.c)
set_target_properties(standin-libjli PROPERTIES OUTPUT_NAME jli
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/standin-runtime/lib)

# The Linux launcher with a real Java virtual machine: a test application
# compiled with javac reports what it received.
add_test(NAME linux-launcher-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/linux_launcher_checks.py
                 $<TARGET_FILE:loftwick-launcher> $<TARGET_FILE:loftwick-pack>
                 ${CMAKE_BINARY_DIR}/linux-launcher-checks ${CMAKE_BINARY_DIR}/standin-runtime)
set_tests_properties(linux-launcher-checks PROPERTIES TIMEOUT 300)

# The Linux launcher started as the desktop starts it, under Xvfb with a
# stand-in zenity: what its failure dialog says, when none shows, the log.
add_test(NAME desktop-report-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/desktop_report_checks.py
                 $<TARGET_FILE:loftwick-launcher> ${CMAKE_BINARY_DIR}/desktop-report-checks)
set_tests_properties(desktop-report-checks PROPERTIES TIMEOUT 300)

# Hostile values in every field of both package formats, read back with
# rpm, dpkg-deb, desktop-file-validate and an XML parser.
# The JDK modules an application needs, against real runtimes made by jlink.
add_test(NAME runtime-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/runtime_checks.py
                 $<TARGET_FILE:loftwick-pack> $<TARGET_FILE:loftwick-inspect> ${LOFTWICK_WINDOWS_BUILD}
                 ${CMAKE_BINARY_DIR}/runtime-checks)
set_tests_properties(runtime-checks PROPERTIES TIMEOUT 600)

# One project file makes what the command lines make.
add_test(NAME project-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/project_checks.py
                 $<TARGET_FILE:loftwick-pack> ${LOFTWICK_WINDOWS_BUILD} ${CMAKE_BINARY_DIR}/project-checks)
set_tests_properties(project-checks PROPERTIES TIMEOUT 900)

add_test(NAME package-quoting-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/package_quoting_checks.py
                 $<TARGET_FILE:loftwick-pack> ${CMAKE_BINARY_DIR}/package-quoting-checks)
set_tests_properties(package-quoting-checks PROPERTIES TIMEOUT 600)

# The deb and rpm steps against dpkg-deb, rpmbuild, lintian, rpmlint and
# desktop-file-validate; as root, a real install, upgrade and purge of a
# package of the tests' own, and the desktop under Xvfb.
add_test(NAME linux-package-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/linux_package_checks.py
                 $<TARGET_FILE:loftwick-pack> ${CMAKE_BINARY_DIR}/linux-package-checks)
set_tests_properties(linux-package-checks PROPERTIES TIMEOUT 900)

# Signing offline: a CA, a timestamp authority on 127.0.0.1 and a softhsm2
# token made by the test; osslsigncode, msiextract, Wine and rpm check.
add_test(NAME signing-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/signing_checks.py
                 ${LOFTWICK_WINDOWS_BUILD} $<TARGET_FILE:loftwick-pack> ${CMAKE_BINARY_DIR}/signing-checks)
set_tests_properties(signing-checks PROPERTIES TIMEOUT 600)

# apt and dnf repositories made by the repository step, offline: sqv, gpgv,
# apt-get with a private state, dnf with an install root; as root, a package
# of the run's own installed and upgraded through apt, and purged.
add_test(NAME repository-checks
         COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/repository_checks.py
                 $<TARGET_FILE:loftwick-pack> ${CMAKE_BINARY_DIR}/repository-checks ${LOFTWICK_WINDOWS_BUILD})
set_tests_properties(repository-checks PROPERTIES TIMEOUT 900)
