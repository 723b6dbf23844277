# Installs the foundation and print-engine libraries for other projects, and the manual pages. Four
# components, one per kind of user (scripts/build-debs.sh makes one Debian package of each but the
# last two, which go together):
#   libraries     the shared objects libpeltrak-foundation.so.1 and libpeltrak-system.so.1
#   development   the headers, the static archives, the shared objects' unversioned links, a CMake
#                 package (Peltrak::Foundation and Peltrak::System shared, Peltrak::FoundationStatic
#                 and Peltrak::SystemStatic), one pkg-config file per library and the section-3 pages
#   runtime       peltrak and peltrak(1)         demo   peltrak-publish and peltrak-publish(1)
# The programs themselves are installed where they are built.
include(CMakePackageConfigHelpers)

set(PELTRAK_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Peltrak)

set(libraries Foundation System)
if(PELTRAK_BUILD_SHARED_LIBS)
    list(APPEND libraries FoundationShared SystemShared)
endif()
install(TARGETS ${libraries} EXPORT PeltrakTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libraries NAMELINK_COMPONENT development)
# Whole directories, so that every header a module gains is installed with it.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Modules/Foundation/Inc/Foundation
                  ${PROJECT_SOURCE_DIR}/Modules/System/Inc/System
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
        FILES_MATCHING PATTERN "*.h")
install(EXPORT PeltrakTargets NAMESPACE Peltrak:: DESTINATION ${PELTRAK_CMAKE_PACKAGE_DIR}
        COMPONENT development)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/PeltrakConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/PeltrakConfig.cmake
                              INSTALL_DESTINATION ${PELTRAK_CMAKE_PACKAGE_DIR})
# Nothing promises compatibility across major versions yet, so a request for 1.x takes only 1.x.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/PeltrakConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/PeltrakConfig.cmake ${PROJECT_BINARY_DIR}/PeltrakConfigVersion.cmake
        DESTINATION ${PELTRAK_CMAKE_PACKAGE_DIR} COMPONENT development)

# The .pc files find the prefix from their own place (pkg-config's pcfiledir), so the same files work
# in /usr, in a staging directory and wherever an unpacked tree is moved. -l finds the shared object
# where there is one; -Wl,-Bstatic around the flags, or -static, takes the archive.
file(RELATIVE_PATH PELTRAK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" PELTRAK_PC_TO_PREFIX "${PELTRAK_PC_TO_PREFIX}")
foreach(library Foundation System)
    get_target_property(PELTRAK_PC_LIBRARY ${library} OUTPUT_NAME)
    if(library STREQUAL "System")
        set(PELTRAK_PC_DESCRIPTION "Peltrak print engine: printf-style and type-safe drivers, type handlers")
        set(PELTRAK_PC_REQUIRES "peltrak-foundation = ${PROJECT_VERSION}")
    else()
        set(PELTRAK_PC_DESCRIPTION "Peltrak foundation: owned text, lists, arrays, 128/256/512-bit integers")
        set(PELTRAK_PC_REQUIRES "")
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/peltrak.pc.in ${PROJECT_BINARY_DIR}/${PELTRAK_PC_LIBRARY}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${PELTRAK_PC_LIBRARY}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
            COMPONENT development)
endforeach()

# peltrak_man_page(<page> <component> [<link>...]) installs doc/<page> (such as tPrintf.3) into
# share/man/man<section>, compressed at build time as Debian's policy asks (man reads both forms),
# with a symbolic link <link>.<section>.gz to it for every other name the page describes.
function(peltrak_man_page page component)
    string(REGEX REPLACE ".*\\." "" section ${page})
    set(compressed ${PROJECT_BINARY_DIR}/man/${page}.gz)
    file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
    add_custom_command(OUTPUT ${compressed}
                       COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/doc/${page} ${PROJECT_BINARY_DIR}/man/${page}
                       COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/man/${page}
                       DEPENDS ${PROJECT_SOURCE_DIR}/doc/${page}
                       COMMENT "Compressing the ${page} manual page")
    string(MAKE_C_IDENTIFIER "PeltrakManPage_${page}" target)
    add_custom_target(${target} ALL DEPENDS ${compressed})
    set(files ${compressed})
    foreach(link IN LISTS ARGN)
        file(CREATE_LINK ${page}.gz ${PROJECT_BINARY_DIR}/man/${link}.${section}.gz SYMBOLIC)
        list(APPEND files ${PROJECT_BINARY_DIR}/man/${link}.${section}.gz)
    endforeach()
    install(FILES ${files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endfunction()

if(UNIX)
    peltrak_man_page(tPrintf.3 development tsPrintf tvsPrintf tsnPrintf tvsnPrintf tvPrintf tfPrintf tvfPrintf
                     taPrintf tvaPrintf tStringPrintf tvStringPrintf)
    peltrak_man_page(tFormat.3 development tPrint T_FMT)
    if(PELTRAK_BUILD_APPS)
        peltrak_man_page(peltrak.1 runtime)
        peltrak_man_page(peltrak-publish.1 demo)
    endif()
endif()
