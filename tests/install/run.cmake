# Installs the built tree into a scratch prefix and builds an out-of-tree C
# host against it twice, with find_package(patprn) and with pkg-config, then
# runs both (under Wine for the Windows build).
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DCC=... [-DTOOLCHAIN=...]
#         [-DHOST_FLAGS=...] [-DWINEPREFIX=...] -P run.cmake
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The installed tree as a host sees it.
set(expected include/patprn/patprn.h include/patprn/win32.h)
if(TOOLCHAIN)
  list(APPEND expected bin/patprn.dll lib/libpatprn.dll.a lib/patprn.def)
else()
  file(GLOB versioned RELATIVE ${prefix} ${prefix}/lib*/libpatprn.so.1 ${prefix}/lib*/*/libpatprn.so.1)
  if(NOT versioned)
    message(FATAL_ERROR "libpatprn.so.1 is not installed")
  endif()
endif()
foreach(file ${expected})
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "${file} is not installed")
  endif()
endforeach()
file(GLOB_RECURSE config ${prefix}/*/patprnConfig.cmake)
file(GLOB_RECURSE pc ${prefix}/*/patprn.pc)
if(NOT config OR NOT pc)
  message(FATAL_ERROR "the CMake package or patprn.pc is not installed")
endif()
get_filename_component(config_dir ${config} DIRECTORY)
get_filename_component(pc_dir ${pc} DIRECTORY)

set(wine)
if(TOOLCHAIN)
  set(wine ${CMAKE_COMMAND} -E env WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= WINEPREFIX=${WINEPREFIX} wine)
endif()

# 1. find_package. A cross toolchain searches packages only below its root,
#    so there the package directory is named directly.
set(configure ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/host -B ${WORK_DIR}/cmake-host -G Ninja
    -DCMAKE_C_COMPILER=${CC} "-DCMAKE_C_FLAGS=${HOST_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${HOST_FLAGS}")
if(TOOLCHAIN)
  list(APPEND configure -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -Dpatprn_DIR=${config_dir})
else()
  list(APPEND configure -DCMAKE_PREFIX_PATH=${prefix})
endif()
run(${configure})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-host)
set(cmake_host ${WORK_DIR}/cmake-host/host)
if(TOOLCHAIN)
  file(COPY ${prefix}/bin/patprn.dll DESTINATION ${WORK_DIR}/cmake-host)
  set(cmake_host ${cmake_host}.exe)
endif()
run(${wine} ${cmake_host})
message(STATUS "find_package host: ${run_output}")

# 2. pkg-config, with only the installed tree on its path.
find_program(PKG_CONFIG pkg-config REQUIRED)
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${pc_dir} ${PKG_CONFIG} --cflags --libs patprn
                OUTPUT_VARIABLE flags RESULT_VARIABLE result OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config does not find patprn")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(host_flags UNIX_COMMAND "${HOST_FLAGS}")
file(MAKE_DIRECTORY ${WORK_DIR}/pc-host)
set(pc_host ${WORK_DIR}/pc-host/host)
if(TOOLCHAIN)
  set(pc_host ${pc_host}.exe)
  file(COPY ${prefix}/bin/patprn.dll DESTINATION ${WORK_DIR}/pc-host)
  run(${CC} -std=c11 ${host_flags} ${SOURCE_DIR}/tests/install/host/host.c -o ${pc_host} ${flags})
else()
  # The library stays where it was installed: the host finds it by rpath.
  set(libdir_flags ${flags})
  list(FILTER libdir_flags INCLUDE REGEX "^-L")
  string(REPLACE "-L" "" libdir "${libdir_flags}")
  run(${CC} -std=c11 ${host_flags} ${SOURCE_DIR}/tests/install/host/host.c -o ${pc_host} ${flags}
      -Wl,-rpath,${libdir})
endif()
run(${wine} ${pc_host})
message(STATUS "pkg-config host: ${run_output}")
