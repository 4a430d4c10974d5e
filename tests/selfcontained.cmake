# Fails when a test, benchmark, fuzz target or CMake file names the folder beside the
# repository: a user's clone has nothing there. Usage: cmake -DROOT=<source> -P <this>
set(parent "..")
set(outside "${parent}/shared")
file(GLOB_RECURSE candidates
  ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h ${ROOT}/tests/*.cmake ${ROOT}/tests/*.txt
  ${ROOT}/provider/tests/*.cpp ${ROOT}/provider/tests/*.h
  ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h ${ROOT}/fuzz/*.cpp ${ROOT}/fuzz/*.h
  ${ROOT}/examples/*.cpp ${ROOT}/scripts/*
  ${ROOT}/CMakeLists.txt ${ROOT}/*/CMakeLists.txt ${ROOT}/*/*/CMakeLists.txt ${ROOT}/*/*/*/CMakeLists.txt
  ${ROOT}/cmake/*)
set(found "")
foreach(file ${candidates})
  file(STRINGS "${file}" hits REGEX "\\.\\./shared")
  if(hits)
    list(APPEND found "${file}")
  endif()
endforeach()
if(found)
  list(JOIN found "\n  " text)
  message(FATAL_ERROR "These files name ${outside}, which a clone does not have:\n  ${text}")
endif()
