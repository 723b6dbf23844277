# Installs the foundation and print-engine libraries for other projects, and the manual page, in
# components:
#   libraries     the shared objects libpeltrak-foundation.so.1 and libpeltrak-system.so.1
#   development   the headers, the static archives, the shared objects' unversioned links, a CMake
#                 package (Peltrak::Foundation and Peltrak::System shared, Peltrak::FoundationStatic
#                 and Peltrak::SystemStatic) and one pkg-config file per library
#   runtime       peltrak(1), beside peltrak
# The programs themselves are installed where they are built, in the runtime and demo components.
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

if(UNIX AND PELTRAK_BUILD_APPS)
    # Compressed at build time, as Debian's policy asks of manual pages; man reads both forms.
    set(manPage ${PROJECT_BINARY_DIR}/peltrak.1)
    add_custom_command(OUTPUT ${manPage}.gz
                       COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/doc/peltrak.1 ${manPage}
                       COMMAND gzip -9nf ${manPage}
                       DEPENDS ${PROJECT_SOURCE_DIR}/doc/peltrak.1
                       COMMENT "Compressing the peltrak(1) manual page")
    add_custom_target(PeltrakManPage ALL DEPENDS ${manPage}.gz)
    install(FILES ${manPage}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
endif()
