# A Debian binary package, textpictures_VERSION_ARCH.deb, laid out and built
# the way Debian's own games are: programs in /usr/games, manual pages in
# section 6, dynamically linked with Debian's hardening flags, stripped, and
# depending on the libraries the programs really use.

set(STATIC OFF) # Debian's programs share the system's libraries

# Debian's build flags, hardening all on, as dpkg-buildflags gives them for
# this source tree (its file-prefix map keeps the source's folder out of the
# binaries). Releases of dpkg before 1.22 leave out stack clash protection,
# which later ones add on this architecture; it is added here the same way.
find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${DPKG_BUILDFLAGS} --get ${kind}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(DEB_${kind} UNIX_COMMAND "${flags}")
endforeach()
if(NOT "-fstack-clash-protection" IN_LIST DEB_CXXFLAGS)
  list(APPEND DEB_CXXFLAGS -fstack-clash-protection)
endif()
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
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "textpictures maintainers <maintainers@users.noreply.c-seed-8e911e6b.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
