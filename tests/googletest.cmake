# Finds GoogleTest: the installed package (libgtest-dev) when there is one,
# otherwise Debian's sources (the googletest package) built with the tests.
# Sets QUELMAR_HAVE_GTEST.

set(QUELMAR_GTEST_SOURCES /usr/src/googletest CACHE PATH
    "GoogleTest sources, used when no installed GoogleTest is found")

find_package(GTest QUIET)
if(GTest_FOUND)
    set(QUELMAR_HAVE_GTEST ON)
elseif(EXISTS "${QUELMAR_GTEST_SOURCES}/CMakeLists.txt")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    # Its warnings are not ours to fix: none shown, none fatal. A subdirectory
    # takes its options from this one when it is added.
    get_directory_property(project_options COMPILE_OPTIONS)
    set(quiet_options ${project_options})
    list(REMOVE_ITEM quiet_options -Werror)
    set_directory_properties(PROPERTIES COMPILE_OPTIONS "${quiet_options};-w")
    add_subdirectory("${QUELMAR_GTEST_SOURCES}" "${CMAKE_BINARY_DIR}/googletest"
                     EXCLUDE_FROM_ALL SYSTEM)
    set_directory_properties(PROPERTIES COMPILE_OPTIONS "${project_options}")
    set(QUELMAR_HAVE_GTEST ON)
else()
    set(QUELMAR_HAVE_GTEST OFF)
endif()
