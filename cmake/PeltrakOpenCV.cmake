# The three OpenCV modules the capture tool links, as PeltrakOpenCV::core, ::imgproc and ::imgcodecs.
#   PELTRAK_OPENCV=lean    static libraries that scripts/build-opencv.sh builds from Debian's source and
#                          caches; the tool then loads no OpenCV, codec or GDAL library at start-up.
#                          PELTRAK_OPENCV_PREFIX names another installed tree of the same build.
#   PELTRAK_OPENCV=system  Debian's packaged shared libraries (libopencv-*-dev).
# Both are OpenCV 4.6.0, so cvtColor and the BMP writer run the same code and write the same bytes.

set(PELTRAK_OPENCV_MODULES core imgproc imgcodecs)

if(PELTRAK_OPENCV STREQUAL "lean")
    set(prefix "${PELTRAK_OPENCV_PREFIX}")
    if(prefix STREQUAL "")
        # Asked on every configure, so that a changed recipe points at its own, rebuilt tree.
        set(recipe "${PROJECT_SOURCE_DIR}/scripts/build-opencv.sh")
        set(recipeArguments --cached)
        if(CMAKE_TOOLCHAIN_FILE)
            list(APPEND recipeArguments --toolchain "${CMAKE_TOOLCHAIN_FILE}")
        endif()
        execute_process(COMMAND ${CMAKE_COMMAND} -E env "CXX=${CMAKE_CXX_COMPILER}" ${recipe} ${recipeArguments}
                        OUTPUT_VARIABLE prefix RESULT_VARIABLE cached OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT cached EQUAL 0)
            message(FATAL_ERROR "No lean OpenCV built for this compiler yet: run scripts/build-opencv.sh "
                                "(a few minutes, once), or configure with -DPELTRAK_OPENCV=system.")
        endif()
    endif()
    # Found afresh on every configure too: a cached OpenCV_DIR would keep the tree on an old recipe's build.
    unset(OpenCV_DIR CACHE)
    find_package(OpenCV 4.6.0 EXACT REQUIRED CONFIG COMPONENTS ${PELTRAK_OPENCV_MODULES}
                 PATHS "${prefix}" NO_DEFAULT_PATH)
    message(STATUS "OpenCV: lean static build in ${prefix}")
    # OpenCV's inline headers name themselves in the errors they raise: as "opencv2/...", like the
    # library's own files, not by the cache's path, which would make the programs differ by machine.
    set(prefixMaps "")
    foreach(includeDir IN LISTS OpenCV_INCLUDE_DIRS)
        list(APPEND prefixMaps "-ffile-prefix-map=${includeDir}/=")
    endforeach()
    foreach(module IN LISTS PELTRAK_OPENCV_MODULES)
        add_library(PeltrakOpenCV::${module} INTERFACE IMPORTED)
        target_link_libraries(PeltrakOpenCV::${module} INTERFACE opencv_${module})
        target_compile_options(PeltrakOpenCV::${module} INTERFACE ${prefixMaps})
    endforeach()
elseif(PELTRAK_OPENCV STREQUAL "system")
    # Debian's split packages ship no CMake configuration.
    find_path(PELTRAK_OPENCV_INCLUDE_DIR opencv2/core.hpp PATH_SUFFIXES opencv4 REQUIRED)
    foreach(module IN LISTS PELTRAK_OPENCV_MODULES)
        find_library(PELTRAK_OPENCV_${module}_LIBRARY NAMES opencv_${module} REQUIRED)
        add_library(PeltrakOpenCV::${module} UNKNOWN IMPORTED)
        set_target_properties(PeltrakOpenCV::${module} PROPERTIES
            IMPORTED_LOCATION "${PELTRAK_OPENCV_${module}_LIBRARY}"
            INTERFACE_INCLUDE_DIRECTORIES "${PELTRAK_OPENCV_INCLUDE_DIR}")
    endforeach()
    message(STATUS "OpenCV: Debian's shared libraries")
else()
    message(FATAL_ERROR "PELTRAK_OPENCV is \"${PELTRAK_OPENCV}\"; it must be lean or system.")
endif()
