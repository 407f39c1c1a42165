# Run by CPack once the portable archive's files are staged: packs them into
# NAME.tar.gz as reproducible builds do, so that the bytes depend neither on
# the order the file system lists the files in, nor on the builder's user or
# umask, nor on the time of the build (every file gets SOURCE_DATE_EPOCH).
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch $ENV{SOURCE_DATE_EPOCH})
else()
  string(TIMESTAMP epoch "%s" UTC)
endif()
cmake_path(GET CPACK_TEMPORARY_DIRECTORY PARENT_PATH staging)
set(archive ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.tar.gz)
execute_process(
  COMMAND tar --create --format=gnu --sort=name --mtime=@${epoch}
              --owner=root:0 --group=root:0 --mode=u=rwX,go=rX
              --directory=${staging} ${CPACK_PACKAGE_FILE_NAME}
  COMMAND gzip -9 -n
  OUTPUT_FILE ${archive}
  COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_EXTERNAL_BUILT_PACKAGES ${archive})
