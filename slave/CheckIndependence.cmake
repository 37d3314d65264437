# Fails when a source of the slave includes the master's protocol core (modbus/): the slave's frames
# would then be judged by the code they are meant to test.
#
#   cmake -DSLAVE_DIR=<slave folder> -P CheckIndependence.cmake
file(GLOB sources ${SLAVE_DIR}/*.h ${SLAVE_DIR}/*.cpp)
set(offenders "")
foreach(source ${sources})
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]modbus/")
  if(includes)
    list(APPEND offenders "${source}: ${includes}")
  endif()
endforeach()
if(offenders)
  string(REPLACE ";" "\n  " lines "${offenders}")
  message(FATAL_ERROR "The slave must keep its own frame code, but includes the master's:\n  ${lines}")
endif()
