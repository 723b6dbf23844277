# peltrak_require_flags(<outVar> <flag>...): checks that the C++ compiler compiles and links a program
# with all of the flags together, and stores them in <outVar>. Fails the configure step with the
# compiler's name when it does not, instead of letting every compile fail later with a cryptic error.
include(CheckCXXSourceCompiles)

function(peltrak_require_flags outVar)
    string(MAKE_C_IDENTIFIER "PELTRAK_FLAGS_${ARGN}" resultVar)
    set(CMAKE_REQUIRED_FLAGS "${ARGN}")
    list(JOIN CMAKE_REQUIRED_FLAGS " " CMAKE_REQUIRED_FLAGS)
    # Sanitizer flags need their runtime at link time as well.
    set(CMAKE_REQUIRED_LINK_OPTIONS ${ARGN})
    set(CMAKE_REQUIRED_QUIET ON)
    check_cxx_source_compiles("int main() { return 0; }" ${resultVar})
    if(NOT ${resultVar})
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION} (${CMAKE_CXX_COMPILER}) "
                            "does not accept ${ARGN}; use a compiler that does (scripts/setup.sh installs them)")
    endif()
    set(${outVar} ${ARGN} PARENT_SCOPE)
endfunction()
