# SPDX-License-Identifier: MIT
# Run by CPack once it has written the Windows archive: writes the archive again
# with its files in name order. CPack adds them in the order the file system lists
# the staging directory, which differs from one file system to another; the times
# stay SOURCE_DATE_EPOCH's (set by the project's CPack configuration).
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${CPACK_TEMPORARY_DIRECTORY}
     ${CPACK_TEMPORARY_DIRECTORY}/*)
list(SORT files)
foreach(archive IN LISTS CPACK_PACKAGE_FILES)
    file(REMOVE ${archive})
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${archive} --format=zip -- ${files}
                    WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "writing ${archive} in name order failed: ${status}")
    endif()
endforeach()
