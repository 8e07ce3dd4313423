# The core's tests without the tools and Qt (STOWAWAY_CORE_ONLY: Windows, this far).
# Included by tests/CMakeLists.txt, which returns after it.
file(GLOB_RECURSE SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
file(GLOB_RECURSE CORE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
list(FILTER CORE_TESTS EXCLUDE REGEX ".*/tests/(support|ui/qt|layers|tools)/.*")
# Files whose every test drives what only POSIX has (fork, posix_spawn, a shell,
# FIFOs, sd-bus, crontab): on Windows their tests cannot mean anything yet.
set(POSIX_ONLY_TESTS ${STOWAWAY_POSIX_ONLY_TESTS})
foreach(file ${POSIX_ONLY_TESTS})
  list(FILTER CORE_TESTS EXCLUDE REGEX ".*/tests/${file}$")
endforeach()
if(WIN32)
  foreach(file ${STOWAWAY_POSIX_ONLY_SUPPORT})
    list(FILTER SUPPORT_SOURCES EXCLUDE REGEX ".*/tests/support/${file}$")
  endforeach()
else()
  list(FILTER SUPPORT_SOURCES EXCLUDE REGEX ".*/Win32[^/]*\\.cpp$")
endif()

add_library(stowaway_test_support STATIC ${SUPPORT_SOURCES})
target_link_libraries(stowaway_test_support PUBLIC stowaway_core GTest::gtest)
target_include_directories(stowaway_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(stowaway_test_support PUBLIC
    STOWAWAY_PROGRAM_DIR="${STOWAWAY_PROGRAM_DIR}"
    STOWAWAY_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

add_executable(stowaway_tests ${CORE_TESTS})
target_link_libraries(stowaway_tests PRIVATE stowaway_test_support GTest::gtest_main)

file(GLOB LAYER_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/layers/*.cpp)
add_executable(stowaway_layer_tests ${LAYER_TESTS})
target_link_libraries(stowaway_layer_tests PRIVATE stowaway_engine GTest::gtest_main)
