# SPDX-License-Identifier: MIT
# The C++ reference: cmake -DDOXYGEN=... -DREFERENCE_DIR=... -DHEADERS=a.h;b.h -P doxygen.cmake
# The headers are first gathered into one folder, REFERENCE_DIR/headers/kestrune, so that
# the reference has a single folder page; Doxygen names that page after a hash of its
# absolute path, which is renamed dir_kestrune.html here so that the pages do not depend
# on where the project is built. The output, REFERENCE_DIR/cpp, is made afresh.
set(headers_dir ${REFERENCE_DIR}/headers/kestrune)
set(output ${REFERENCE_DIR}/cpp)
file(REMOVE_RECURSE ${REFERENCE_DIR}/headers ${output})
file(COPY ${HEADERS} DESTINATION ${headers_dir})
execute_process(COMMAND ${DOXYGEN} ${REFERENCE_DIR}/Doxyfile WORKING_DIRECTORY ${REFERENCE_DIR}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE_RECURSE ${output})
    message(FATAL_ERROR "doxygen failed (above; the files it names in ${headers_dir} are "
                        "copies of include/kestrune and of the generated version.h)")
endif()

file(GLOB folder_pages ${output}/dir_*.html)
list(LENGTH folder_pages count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one folder page in ${output}, found: ${folder_pages}")
endif()
get_filename_component(folder_page ${folder_pages} NAME)
file(RENAME ${output}/${folder_page} ${output}/dir_kestrune.html)
file(GLOB pages ${output}/*.html ${output}/*.js)
foreach(page IN LISTS pages)
    file(READ ${page} text)
    string(REPLACE "${folder_page}" "dir_kestrune.html" renamed "${text}")
    if(NOT renamed STREQUAL text)
        file(WRITE ${page} "${renamed}")
    endif()
endforeach()
