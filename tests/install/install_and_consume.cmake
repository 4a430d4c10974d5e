# Script of the install_and_consume test; see CMakeLists.txt beside it.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Command failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(RUN_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(file include/orba/orbamapi.h include/orba/VoMAPIPropDefs.h include/orba/common/types.h
             include/mapi/mapi_all.h lib/librVoOrbaMAPI250.so lib/liborbastore.so
             lib/cmake/OrbaMAPI/OrbaMAPIConfig.cmake lib/pkgconfig/orbamapi.pc)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "The installation lacks ${file}")
  endif()
endforeach()

# find_package route.
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer)
if(NOT RUN_OUTPUT MATCHES "^2\\.5\\.0 0x0037001F")
  message(FATAL_ERROR "Unexpected output of the consumer: ${RUN_OUTPUT}")
endif()

# pkg-config route.
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
run(pkg-config --cflags --libs orbamapi)
string(STRIP "${RUN_OUTPUT}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${CXX_COMPILER} ${CXX_FLAGS} ${CONSUMER_DIR}/main.cpp ${flags} -Wl,-rpath,${prefix}/lib
    -o ${WORK_DIR}/consumer_pc)
run(${WORK_DIR}/consumer_pc)
if(NOT RUN_OUTPUT MATCHES "^2\\.5\\.0 0x0037001F")
  message(FATAL_ERROR "Unexpected output of the pkg-config consumer: ${RUN_OUTPUT}")
endif()
