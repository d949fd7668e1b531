# Debian packages with CPack (`make deb`): `mavlib` holds the programs, the
# movie module, the shared library and the man pages; `mavlib-dev` the
# headers, the static libraries, mavlib.pc and the CMake package. The
# runtime's dependencies are read off its binaries by dpkg-shlibdeps.

find_package(Git QUIET)
set(maintainer "mavlib maintainers <maintainers@localhost>")
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%an\ <%ae> WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE from_git OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE git_failed)
  if(NOT git_failed AND from_git)
    set(maintainer "${from_git}")
  endif()
endif()
set(MAV_DEB_MAINTAINER "${maintainer}" CACHE STRING "Maintainer named in the Debian packages")

# Each package carries its copyright file and a compressed changelog, as
# Debian asks of every package.
set(doc_files ${CMAKE_CURRENT_BINARY_DIR}/doc)
file(MAKE_DIRECTORY ${doc_files})
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(package mavlib mavlib-dev)
  file(WRITE ${doc_files}/${package}.changelog
       "${package} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
       "  * Built from the source tree.\n\n"
       " -- ${MAV_DEB_MAINTAINER}  ${changelog_date}\n")
endforeach()
set(changelogs)
foreach(package mavlib mavlib-dev)
  add_custom_command(OUTPUT ${doc_files}/${package}/changelog.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${doc_files}/${package}
                     COMMAND gzip -9n -c ${doc_files}/${package}.changelog > ${doc_files}/${package}/changelog.gz
                     DEPENDS ${doc_files}/${package}.changelog VERBATIM)
  list(APPEND changelogs ${doc_files}/${package}/changelog.gz)
endforeach()
add_custom_target(deb_changelogs ALL DEPENDS ${changelogs})
foreach(package_component mavlib:runtime mavlib-dev:dev)
  string(REPLACE ":" ";" pc ${package_component})
  list(GET pc 0 package)
  list(GET pc 1 component)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/copyright ${doc_files}/${package}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mavlib)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${MAV_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lenticular imaging toolkit on a small windowing library")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME mavlib)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The shared library is in the linker's folder: dpkg runs ldconfig once after
# installing or removing it.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/triggers)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "unifont")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-ipafont-gothic, fonts-urw-base35")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "lenticular imaging programs and the mavlib library
pitchtest, reelmix, parallax and lenti make lenticular pictures: strips of
several views interleaved per RGB subpixel. They are built on mavlib, a
windowing and imaging library that runs on X11 or with no display.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME mavlib-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "mavlib (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "g++, pkg-config | cmake")
set(CPACK_COMPONENT_DEV_DESCRIPTION "mavlib headers, static library, pkg-config and CMake files
What a program of one's own on mavlib needs: mavlib.h, the static
library, mavlib.pc and the CMake package (find_package(mavlib)).")

include(CPack)
