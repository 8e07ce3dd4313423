# The core's tests without the tools and Qt (STOWAWAY_CORE_ONLY: Windows, this far).
# Included by tests/CMakeLists.txt, which returns after it.
file(GLOB_RECURSE SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
file(GLOB_RECURSE CORE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
list(FILTER CORE_TESTS EXCLUDE REGEX ".*/tests/(support|ui/qt|layers|tools|child)/.*")
# Files built on POSIX calls throughout, left out of the Windows build until
# their helpers are ported (tests that merely need what Windows lacks are
# skipped with STOWAWAY_NEEDS instead):
set(POSIX_ONLY_TESTS
    # the POSIX layer itself; Win32PlatformTest checks the Win32 one
    platform/PlatformTest.cpp platform/PosixFolderTest.cpp platform/InstanceLockTest.cpp
    # sd-bus, the Secret Service, key files' owner and mode
    platform/SessionBusNotifierTest.cpp platform/secrets/SecretServiceKeyringTest.cpp
    platform/secrets/KeyFileTest.cpp engine/encryption/EncryptedBackupTest.cpp
    # crontab and systemd
    engine/schedule/CrontabTest.cpp engine/schedule/SchedulerTest.cpp
    # time zones named as TZ on POSIX (Windows' C library reads no such names)
    engine/CalendarTest.cpp engine/versions/RetentionTest.cpp
    engine/versions/KeptVersionsTest.cpp
    # FIFOs, openat, utimensat, lstat, geteuid, prctl
    engine/FileWalkTest.cpp engine/FileWalkOutputTest.cpp store/DataFileTest.cpp
    platform/secrets/SecretTextTest.cpp
    # runs of the archiver and the program, with posix_spawn and RLIMIT_FSIZE
    engine/EndToEndTest.cpp engine/versions/KeepEndToEndTest.cpp
    engine/versions/RestoreFilesEndToEndTest.cpp engine/versions/CentralListingTest.cpp
    ui/browse/BrowseEndToEndTest.cpp startup/ProgramTest.cpp
    engine/encryption/PasswordLeakTest.cpp platform/secrets/PasswordDescriptorTest.cpp
    # a private D-Bus daemon for the notifications of scheduled runs
    startup/ScheduledRunTest.cpp)
if(WIN32)
  foreach(file ${POSIX_ONLY_TESTS})
    list(FILTER CORE_TESTS EXCLUDE REGEX ".*/tests/${file}$")
  endforeach()
  list(FILTER SUPPORT_SOURCES EXCLUDE REGEX ".*/tests/support/(TestOsPosix|TestSessionBus|TestKeyring|PasswordProbe)\\.cpp$")
else()
  list(FILTER SUPPORT_SOURCES EXCLUDE REGEX ".*/Win32[^/]*\\.cpp$")
  list(FILTER CORE_TESTS EXCLUDE REGEX ".*/Win32[^/]*\\.cpp$")
endif()

add_library(stowaway_test_support STATIC ${SUPPORT_SOURCES})
target_link_libraries(stowaway_test_support PUBLIC stowaway_core GTest::gtest)
target_include_directories(stowaway_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(stowaway_test_support PUBLIC
    STOWAWAY_PROGRAM_DIR="${STOWAWAY_PROGRAM_DIR}"
    STOWAWAY_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

add_executable(stowaway_tests ${CORE_TESTS})
target_link_libraries(stowaway_tests PRIVATE stowaway_test_support stowaway_os GTest::gtest_main)
# A program for the process tests to start, beside them.
add_executable(stowaway_test_child ${CMAKE_CURRENT_SOURCE_DIR}/child/TestChild.cpp)
target_link_libraries(stowaway_test_child PRIVATE stowaway_os)
target_include_directories(stowaway_test_child PRIVATE ${CMAKE_SOURCE_DIR}/src)
add_dependencies(stowaway_tests stowaway_test_child)
