# Cross toolchain for the 32-bit Windows build: the shipped program.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAVREL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# The program starts on a 486 (and a Pentium, Pentium MMX, K5, K6, 6x86): it
# is compiled for the processor that scripts/build-runtime.sh built the runtime
# libraries for (their folder's BUILT says which), tuned for today's ones as
# the compiler's default is (tuning for an old one would inline memset and
# change the imports), and links those libraries ahead of Debian's, which
# use the Pentium Pro's CMOV and FCOMI. CMakeLists.txt applies both.
if(NOT TAVREL_RUNTIME_DIR)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-runtime.sh --print-dir
    OUTPUT_VARIABLE TAVREL_RUNTIME_DIR OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()
# The compiler checks' projects read this file again: they get the folder.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAVREL_RUNTIME_DIR)
if(NOT EXISTS ${TAVREL_RUNTIME_DIR}/BUILT)
  message(FATAL_ERROR "The runtime libraries for the program's processor are not built yet "
    "(${TAVREL_RUNTIME_DIR}): run scripts/build-runtime.sh first (about ten minutes, once per machine).")
endif()
file(STRINGS ${TAVREL_RUNTIME_DIR}/BUILT TAVREL_PROCESSOR_FLOOR REGEX "^processor ")
string(REPLACE "processor " "" TAVREL_PROCESSOR_FLOOR "${TAVREL_PROCESSOR_FLOOR}")
