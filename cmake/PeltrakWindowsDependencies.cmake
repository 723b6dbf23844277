# The capture tool's Boost, spdlog and fmt for a mingw-w64 cross build. Debian packages none of them
# for Windows, but the tool needs them only as headers: Boost.Interprocess, Boost.Stacktrace with its
# Windows backend (the debugging engine, so dbgeng and ole32 are linked), and spdlog over fmt, both in
# header-only mode. The host's headers are reached through a folder that links to those trees alone:
# /usr/include itself would put glibc's headers in front of mingw-w64's.
set(hostHeaders ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${hostHeaders})
foreach(tree boost spdlog fmt)
    if(NOT IS_DIRECTORY /usr/include/${tree})
        message(FATAL_ERROR "/usr/include/${tree} is missing: scripts/setup.sh installs it")
    endif()
    file(CREATE_LINK /usr/include/${tree} ${hostHeaders}/${tree} SYMBOLIC)
endforeach()

add_library(Boost::headers INTERFACE IMPORTED)
set_target_properties(Boost::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${hostHeaders})

# Debian's spdlog is configured for an external fmt (SPDLOG_FMT_EXTERNAL in its tweakme.h).
add_library(spdlog::spdlog_header_only INTERFACE IMPORTED)
set_target_properties(spdlog::spdlog_header_only PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${hostHeaders}
    INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY)

add_library(PeltrakStackTrace INTERFACE)
target_compile_definitions(PeltrakStackTrace INTERFACE BOOST_STACKTRACE_USE_WINDBG)
target_link_libraries(PeltrakStackTrace INTERFACE Boost::headers dbgeng ole32)
