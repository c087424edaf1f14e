# cmake -DFILE=<file> -DLIMIT=<bytes> -P check-size.cmake: fails when FILE is
# missing or larger than LIMIT bytes.
if(NOT EXISTS "${FILE}")
  message(FATAL_ERROR "${FILE} does not exist")
endif()
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
  message(FATAL_ERROR "${FILE}: ${size} bytes, more than ${LIMIT}")
endif()
message(STATUS "${FILE}: ${size} bytes, at most ${LIMIT}")
