# A Debian binary package, textpictures_VERSION_ARCH.deb, laid out and built
# the way Debian's own games are: programs in /usr/games, manual pages in
# section 6, dynamically linked with Debian's hardening flags, stripped, and
# depending on the libraries the programs really use.

set(STATIC OFF) # Debian's programs share the system's libraries

# The Debian architecture the compiler builds for: amd64 natively, or arm64,
# armhf or i386 from a cross compiler, as dpkg-architecture names its triplet.
find_program(DPKG_ARCHITECTURE dpkg-architecture REQUIRED)
execute_process(
  COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
  OUTPUT_VARIABLE triplet OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${DPKG_ARCHITECTURE} --host-type ${triplet} --query DEB_HOST_ARCH
  OUTPUT_VARIABLE DEB_HOST_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)

# Debian's build flags for that architecture, hardening all on, as
# dpkg-buildflags gives them for this source tree (its file-prefix map keeps
# the source's folder out of the binaries). Releases of dpkg before 1.22 leave
# out stack clash protection and branch protection, which later ones add on
# the architectures below; they are added here the same way.
find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_HOST_ARCH=${DEB_HOST_ARCH}
            DEB_BUILD_MAINT_OPTIONS=hardening=+all ${DPKG_BUILDFLAGS} --get ${kind}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(DEB_${kind} UNIX_COMMAND "${flags}")
endforeach()
set(later_flags)
if(DEB_HOST_ARCH MATCHES "^(amd64|arm64|armhf|armel)$")
  list(APPEND later_flags -fstack-clash-protection)
endif()
if(DEB_HOST_ARCH STREQUAL "amd64")
  list(APPEND later_flags -fcf-protection)
elseif(DEB_HOST_ARCH STREQUAL "arm64")
  list(APPEND later_flags -mbranch-protection=standard)
endif()
foreach(flag IN LISTS later_flags)
  if(NOT flag IN_LIST DEB_CXXFLAGS)
    list(APPEND DEB_CXXFLAGS ${flag})
  endif()
endforeach()
add_compile_options(${DEB_CPPFLAGS} ${DEB_CXXFLAGS})
add_link_options(${DEB_LDFLAGS})

set(CMAKE_INSTALL_BINDIR games) # Debian's place for amusements

install(FILES packaging/copyright DESTINATION share/doc/textpictures)
set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION share/doc/textpictures)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME textpictures)
set(CPACK_PACKAGE_VENDOR "The textpictures authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small console programs that draw pictures in text")
set(CPACK_PACKAGE_DESCRIPTION "Twelve small console programs: ten draw pictures in text\n\
with stars and blanks (triangles, pyramids, an hourglass built two ways, a\n\
lopsided wedge, a triangle of triangles and an animation), and two print a\n\
greeting in English and Korean.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "textpictures maintainers <maintainers@textpictures.example>")
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${DEB_HOST_ARCH})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
