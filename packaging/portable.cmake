# A portable archive, textpictures-VERSION-linux-ARCH.tar.gz: the programs,
# linked statically and stripped, with their manual pages, README and LICENSE,
# to unpack and run on any Linux of this architecture, whatever its C library.
set(STATIC ON)

install(FILES README.md LICENSE DESTINATION .)

# CPack stages the files; packaging/portable_archive.cmake packs them.
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/portable_archive.cmake)
set(CPACK_PACKAGE_FILE_NAME
    textpictures-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_STRIP_FILES ON)
include(CPack)
