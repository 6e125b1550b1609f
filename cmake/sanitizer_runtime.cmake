# Stops with one line naming the package when a program built with the given
# sanitizers does not link: without it the build fails late, in the linker.
include(CheckCXXSourceCompiles)

function(quelmar_require_sanitizer_runtime sanitizers)
    # Only a success is kept, so a configure after the install finds it.
    if(QUELMAR_SANITIZER_RUNTIME_LINKS)
        return()
    endif()
    set(CMAKE_REQUIRED_FLAGS "-fsanitize=${sanitizers}")
    set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=${sanitizers}")
    set(CMAKE_REQUIRED_QUIET ON)
    check_cxx_source_compiles("int main() { return 0; }" QUELMAR_SANITIZER_RUNTIME_LINKS)
    if(QUELMAR_SANITIZER_RUNTIME_LINKS)
        return()
    endif()
    unset(QUELMAR_SANITIZER_RUNTIME_LINKS CACHE)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        string(REGEX MATCH "^[0-9]+" major "${CMAKE_CXX_COMPILER_VERSION}")
        set(missing "the clang sanitizer runtime not found: install libclang-rt-${major}-dev (.ci/install-deps does)")
    else()
        set(missing "the sanitizer runtime of ${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION} not found (-fsanitize=${sanitizers} does not link)")
    endif()
    # One plain line first: the make targets show only that line.
    message(NOTICE "quelmar: ${missing}")
    message(FATAL_ERROR "${missing}")
endfunction()
