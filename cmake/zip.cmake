# cmake -DZIP=out.zip -DSTAGE=dir -DEXE=kwarino.exe -DREADME=ReadMe.txt
#       -DNOTICES=THIRD-PARTY-NOTICES.txt -DSTRIP=strip -DZIP_TOOL=zip -DTOUCH=touch
#       -DEPOCH=seconds -P zip.cmake
# Packs the release and writes out.zip.sha256 beside it. The same sources give
# the same bytes on any machine, in any folder, at any time: the entries come in
# a fixed order with fixed permissions and the time EPOCH, and without the extra
# fields that would hold times or owners.
get_filename_component(exe_name "${EXE}" NAME)
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
file(COPY_FILE "${EXE}" "${STAGE}/${exe_name}")
file(COPY_FILE "${README}" "${STAGE}/ReadMe.txt")
file(COPY_FILE "${NOTICES}" "${STAGE}/THIRD-PARTY-NOTICES.txt")
set(entries ${exe_name} ReadMe.txt THIRD-PARTY-NOTICES.txt)

# strip, as the linker, writes SOURCE_DATE_EPOCH into the PE header, else now.
set(ENV{SOURCE_DATE_EPOCH} "${EPOCH}")
# The user gets the program without its debugging symbols.
if(STRIP)
    execute_process(COMMAND "${STRIP}" "${STAGE}/${exe_name}" COMMAND_ERROR_IS_FATAL ANY)
endif()

file(CHMOD "${STAGE}/${exe_name}" PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(CHMOD "${STAGE}/ReadMe.txt" "${STAGE}/THIRD-PARTY-NOTICES.txt" PERMISSIONS
    OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# A zip entry holds its time as local time: UTC makes it the same everywhere.
set(ENV{TZ} UTC)
execute_process(COMMAND "${TOUCH}" -d "@${EPOCH}" ${entries}
    WORKING_DIRECTORY "${STAGE}" COMMAND_ERROR_IS_FATAL ANY)
# -X: no uid, gid or time fields; zip adds to an archive that exists.
file(REMOVE "${ZIP}")
execute_process(COMMAND "${ZIP_TOOL}" -X -D -q "${ZIP}" ${entries}
    WORKING_DIRECTORY "${STAGE}" COMMAND_ERROR_IS_FATAL ANY)

file(SHA256 "${ZIP}" sum)
get_filename_component(zip_name "${ZIP}" NAME)
file(WRITE "${ZIP}.sha256" "${sum}  ${zip_name}\n")
