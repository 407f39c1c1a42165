# Run by CPack before it packs, to set the environment it packs in.

# SOURCE_DATE_EPOCH, the time CPack gives every file in the package, is the
# time of the source's last commit. A time already set by whoever builds is
# kept; outside a git checkout the package carries the time it is made.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(
    COMMAND git -C ${CPACK_TEXTPICTURES_SOURCE_DIR} log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
  if(epoch)
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  endif()
endif()

# dpkg-shlibdeps looks for the libraries of the package's architecture, and
# the packages that hold them, as it does in Debian's own cross builds.
if(CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
  set(ENV{DEB_HOST_ARCH} ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
endif()
