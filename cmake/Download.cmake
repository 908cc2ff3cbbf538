# Downloads one file: cmake -DFROM=<address> -DTO=<file> -P cmake/Download.cmake
# (scripts/build-windows checks what arrives against its pinned SHA-256).
file(DOWNLOAD "${FROM}" "${TO}" STATUS status TLS_VERIFY ON)
list(GET status 0 code)
if(NOT code EQUAL 0)
    list(GET status 1 message)
    message(FATAL_ERROR "cannot download ${FROM}: ${message}")
endif()
