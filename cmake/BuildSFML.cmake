# MOLTRIX_BUILD_SFML: SFML 3.1 and its libraries built from the pinned sources
# (cmake/sfml/CMakeLists.txt), statically, while this project is configured, and found from
# there. They are kept in MOLTRIX_SFML_CACHE, in a folder named after what they are built
# from and with (the pinned list, the way they are built, the compiler or cross toolchain),
# so that a new build folder, or another checkout pointed at the same cache, builds them
# only when one of those (or a patch in cmake/sfml) changes.
if(CMAKE_VERSION VERSION_LESS 3.28)
    message(FATAL_ERROR "MOLTRIX_BUILD_SFML: SFML 3.1 needs CMake 3.28 or newer, and this is CMake ${CMAKE_VERSION} "
                        "(on Debian 12, install cmake from bookworm-backports)")
endif()
set(MOLTRIX_SFML_SOURCES "$ENV{MOLTRIX_SFML_SOURCES}" CACHE PATH
    "A folder that holds the pinned sources of SFML and its libraries (else they are downloaded)")
set(MOLTRIX_SFML_CACHE ${PROJECT_BINARY_DIR}/sfml CACHE PATH
    "Where SFML and its libraries built from the pinned sources are kept")
if(NOT MOLTRIX_SFML_SOURCES AND IS_DIRECTORY ${PROJECT_SOURCE_DIR}/../shared/vendor/windows)
    # This project's own machines keep the files beside the repository.
    set(MOLTRIX_SFML_SOURCES ${PROJECT_SOURCE_DIR}/../shared/vendor/windows)
endif()

function(moltrix_sfml_key out)
    set(what "${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION} ${CMAKE_CXX_COMPILER} ${CMAKE_SYSTEM_NAME}")
    # The patches and the script that applies them change what is built too.
    file(GLOB patches ${PROJECT_SOURCE_DIR}/cmake/sfml/*.patch)
    list(SORT patches)
    foreach(file ${PROJECT_SOURCE_DIR}/cmake/sfml-sources.txt ${PROJECT_SOURCE_DIR}/cmake/sfml/CMakeLists.txt
                 ${PROJECT_SOURCE_DIR}/cmake/sfml/ApplyPatch.cmake ${patches} ${CMAKE_TOOLCHAIN_FILE})
        file(READ ${file} content)
        string(APPEND what "${content}")
    endforeach()
    string(SHA256 key "${what}")
    string(SUBSTRING ${key} 0 16 key)
    set(${out} ${key} PARENT_SCOPE)
endfunction()

# Seconds since 1970 now; string(TIMESTAMP) would give SOURCE_DATE_EPOCH where it is set.
function(moltrix_now out)
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
    unset(ENV{SOURCE_DATE_EPOCH})
    string(TIMESTAMP now %s)
    set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
    set(${out} ${now} PARENT_SCOPE)
endfunction()

moltrix_sfml_key(key)
set(MOLTRIX_SFML_PREFIX ${MOLTRIX_SFML_CACHE}/sfml-${key} CACHE INTERNAL "Where SFML and its libraries are" FORCE)
set(locked_here OFF)
if(NOT EXISTS ${MOLTRIX_SFML_PREFIX}/.complete)
    file(MAKE_DIRECTORY ${MOLTRIX_SFML_CACHE})
    set(locked_here ON)
    # One builder at a time; a second configure waits, then finds them built.
    file(LOCK ${MOLTRIX_SFML_PREFIX}.lock TIMEOUT 3600 RESULT_VARIABLE locked)
    if(locked)
        message(FATAL_ERROR "Cannot lock ${MOLTRIX_SFML_PREFIX}.lock: ${locked}")
    endif()
endif()
if(NOT EXISTS ${MOLTRIX_SFML_PREFIX}/.complete)
    message(STATUS "Building SFML 3.1 and its libraries from the pinned sources into ${MOLTRIX_SFML_PREFIX} "
                   "(once for these sources and this compiler: a few minutes)")
    moltrix_now(started)
    set(work ${MOLTRIX_SFML_PREFIX}.work)
    file(REMOVE_RECURSE ${MOLTRIX_SFML_PREFIX} ${work})
    cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
    set(toolchain_args -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER})
    if(CMAKE_TOOLCHAIN_FILE)
        set(toolchain_args -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE})
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR}/cmake/sfml -B ${work} -G ${CMAKE_GENERATOR}
                            ${toolchain_args} -DMOLTRIX_SFML_PREFIX=${MOLTRIX_SFML_PREFIX}
                            -DMOLTRIX_SFML_SOURCES=${MOLTRIX_SFML_SOURCES} -DMOLTRIX_SFML_JOBS=${jobs}
                    RESULT_VARIABLE failed)
    if(NOT failed)
        execute_process(COMMAND ${CMAKE_COMMAND} --build ${work} RESULT_VARIABLE failed)
    endif()
    if(failed)
        message(FATAL_ERROR "Building SFML from the pinned sources failed (its logs are in ${work})")
    endif()
    file(REMOVE_RECURSE ${work})
    file(TOUCH ${MOLTRIX_SFML_PREFIX}/.complete)
    moltrix_now(finished)
    math(EXPR seconds "${finished} - ${started}")
    message(STATUS "SFML and its libraries took ${seconds} s")
endif()
if(locked_here)
    file(LOCK ${MOLTRIX_SFML_PREFIX}.lock RELEASE)
endif()

list(PREPEND CMAKE_PREFIX_PATH ${MOLTRIX_SFML_PREFIX})
if(CMAKE_CROSSCOMPILING)
    list(APPEND CMAKE_FIND_ROOT_PATH ${MOLTRIX_SFML_PREFIX}) # a cross toolchain searches its roots only
endif()
set(SFML_STATIC_LIBRARIES ON)
