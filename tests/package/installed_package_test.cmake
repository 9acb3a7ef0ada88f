# Installs the build into a fresh prefix, moves the installed tree elsewhere (nothing in it may
# point back to where it was built or installed), then builds the example against it twice:
# with find_package(tonalweaver) and with pkg-config, and runs both programs.
#
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX_COMPILER=...
#         -DBUILD_TYPE=... -DLIBDIR=lib [-DEXTRA_FLAGS="-fsanitize=..."] -P installed_package_test.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${output}")
  endif()
  set(run_output "${output}" PARENT_SCOPE)
endfunction()

# The example's output: the key it found and one line per chord with its numeral.
function(check_example_output program)
  run(${program})
  foreach(expected "Key: C major" "Dm7\tiim7\t" "G13\tV13\t" "Cmaj9\tImaj9\t" "Next:")
    string(FIND "${run_output}" "${expected}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${program} printed no \"${expected}\":\n${run_output}")
    endif()
  endforeach()
  message(STATUS "${program}:\n${run_output}")
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(staged ${WORK_DIR}/staged)
set(prefix ${WORK_DIR}/moved/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${staged})
file(MAKE_DIRECTORY ${WORK_DIR}/moved)
file(RENAME ${staged} ${prefix})

file(GLOB_RECURSE package_files ${prefix}/*.cmake ${prefix}/*.pc)
if(NOT package_files)
  message(FATAL_ERROR "no CMake package or pkg-config file was installed")
endif()
foreach(file ${package_files})
  file(READ ${file} text)
  foreach(path ${BUILD_DIR} ${SOURCE_DIR} ${staged})
    string(FIND "${text}" "${path}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${file} names ${path}: the installed package cannot be moved")
    endif()
  endforeach()
endforeach()

separate_arguments(extra_flags UNIX_COMMAND "${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${WORK_DIR}/example-build -G ${GENERATOR}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_PREFIX_PATH=${prefix} "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/example-build)
check_example_output(${WORK_DIR}/example-build/voice_progression)

find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
  run(${PKG_CONFIG} --cflags --libs tonalweaver)
  separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
  run(${PKG_CONFIG} --variable=corpusdir tonalweaver)
  string(STRIP "${run_output}" corpus_dir)
  if(NOT EXISTS ${corpus_dir}/pc.bin OR NOT EXISTS ${corpus_dir}/cc.bin)
    message(FATAL_ERROR "pkg-config's corpusdir ${corpus_dir} holds no corpora")
  endif()
  run(${CXX_COMPILER} -std=c++20 ${extra_flags} ${SOURCE_DIR}/examples/voice_progression.cpp
      "-DTONALWEAVER_CORPUS_DIR=\"${corpus_dir}\"" ${pc_flags} -o ${WORK_DIR}/voice_progression_pc)
  check_example_output(${WORK_DIR}/voice_progression_pc)
else()
  message(STATUS "pkg-config not found: the pkg-config build of the example is left out")
endif()
