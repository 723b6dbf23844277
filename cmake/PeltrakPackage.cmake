# `cpack -G DEB` makes two Debian packages from the install components: peltrak (the runtime and demo
# components: the capture tool, the demo producer and the manual page) and peltrak-dev (the
# development component). The tool's dependencies are what dpkg-shlibdeps finds its binaries linked
# against, so they follow the build instead of a list kept by hand.
set(CPACK_PACKAGE_NAME peltrak)
set(CPACK_PACKAGE_VENDOR "Peltrak")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Peltrak maintainers <maintainers@users.noreply.c-seed-79a38029.example>")
set(CPACK_STRIP_FILES ON) # The stack traces fall back to the programs' exported symbols.

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# Each description is its synopsis line, then the extended lines, which CPack indents by one space.
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME peltrak)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_DESCRIPTION
    "Captures the image in a shared-memory block into a dated BMP
peltrak attaches to the named shared-memory block ZV_SHM_MEMORY, converts the
image it holds from BGRA to BGR and writes it as a 24-bit BMP under
/zorvik/images/. peltrak-publish, a demo producer, fills the block.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME peltrak-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION
    "Peltrak foundation and print-engine libraries (static, C++17)
Owned text, intrusive lists, growable arrays, 128/256/512-bit integers and the
type handlers of a printf-style print engine, with a CMake package
(find_package(Peltrak)) and pkg-config files.")

include(CPack)

cpack_add_component_group(tool)
cpack_add_component_group(dev)
cpack_add_component(runtime GROUP tool)
cpack_add_component(demo GROUP tool)
cpack_add_component(development GROUP dev)
