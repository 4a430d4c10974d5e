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
             lib/cmake/OrbaMAPI/OrbaMAPIConfig.cmake lib/pkgconfig/orbamapi.pc bin/orbamapi)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "The installation lacks ${file}")
  endif()
endforeach()

# The installed command-line client starts from its own folder and finds the installed
# Orba Store as the default mail client.
set(ENV{ORBA_HOME} ${WORK_DIR}/orbahome)
run(${prefix}/bin/orbamapi info)
if(NOT RUN_OUTPUT MATCHES "Client \"Orba Store\" \\(default\\)\n  Library +${prefix}/lib/liborbastore.so\n  Library exists +yes")
  message(FATAL_ERROR "Unexpected output of the installed orbamapi: ${RUN_OUTPUT}")
endif()

# find_package route. The package asks only for what its targets need: a user needs no
# development packages of the libraries linked into the library.
file(READ ${prefix}/lib/cmake/OrbaMAPI/OrbaMAPIConfig.cmake config)
if(config MATCHES "find_dependency\\((OpenSSL|SQLite3)|pkg_check_modules")
  message(FATAL_ERROR "The package configuration asks for the library's private dependencies:\n${config}")
endif()
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
