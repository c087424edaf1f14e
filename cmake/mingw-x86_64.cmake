# Cross toolchain for the 64-bit build of the same sources. It exists for
# testing only: a machine whose kernel cannot run 32-bit programs cannot run
# the 32-bit Wine either, but runs 64-bit Windows programs under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVREL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
