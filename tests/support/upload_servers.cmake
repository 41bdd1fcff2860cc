# Real HTTP and FTP servers for upload tests, run as Python child processes.
# Debian's python3 is named explicitly: python3-pyftpdlib is installed for it.
add_library(upload_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ftp_server.cpp
    ${CMAKE_CURRENT_LIST_DIR}/http_recorder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/upload_server_process.cpp
)
target_compile_definitions(upload_test_support PRIVATE
    UPLOAD_TEST_PYTHON="/usr/bin/python3"
    UPLOAD_TEST_SCRIPTS_DIR="${CMAKE_CURRENT_LIST_DIR}")
target_link_libraries(upload_test_support PUBLIC test_support PkgConfig::CJSON)
