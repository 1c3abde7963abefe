# Configures and builds the fuzz targets in their own clang build tree. Run by CTest
# (the fuzz.build test) with -DSOURCE_DIR, -DBINARY_DIR and -DCXX. Not optimised (-O0,
# line tables only): a first `make test` compiles it afresh, and the smoke runs last
# seconds; `make fuzz` builds its own optimised tree for the long runs.
foreach(var SOURCE_DIR BINARY_DIR CXX)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build-fuzzers.cmake needs -D${var}=...")
  endif()
endforeach()
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G Ninja
          -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O0 -gline-tables-only"
          -DCMAKE_CXX_COMPILER=${CXX} -DQV_FUZZ=ON
          -DQV_BUILD_TESTS=OFF
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} -j 2 --target qv_fuzzers
  COMMAND_ERROR_IS_FATAL ANY)
