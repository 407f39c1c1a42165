# A portable archive, textpictures-VERSION-linux-ARCH.tar.gz: the programs,
# linked statically and stripped, with their manual pages, README and LICENSE,
# to unpack and run on any Linux of this architecture, whatever its C library.
set(STATIC ON)

install(FILES README.md LICENSE DESTINATION .)

# CPack stages the files; packaging/portable_archive.cmake packs them.
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/portable_archive.cmake)
# The machine as uname -m names it, but 32-bit ARM by its hard-float ABI, as
# Debian names it: one archive serves every ARMv7 and later.
set(machine ${CMAKE_SYSTEM_PROCESSOR})
if(machine MATCHES "^arm")
  set(machine armhf)
endif()
set(CPACK_PACKAGE_FILE_NAME textpictures-${PROJECT_VERSION}-linux-${machine})
set(CPACK_STRIP_FILES ON)
include(CPack)
