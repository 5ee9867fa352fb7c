# BeamCalc's test data for another host: the standard results in TestData and the
# definition file under the host's own name, beside the host's executable.
function(corvala4_sample_data target host)
  set(data ${PROJECT_SOURCE_DIR}/examples/beamcalc/data)
  string(TOUPPER ${host} upper)
  file(GLOB_RECURSE data_files CONFIGURE_DEPENDS ${data}/TestData/*)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${host}_data.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${data}/TestData ${CMAKE_CURRENT_BINARY_DIR}/TestData
    COMMAND ${CMAKE_COMMAND} -E copy ${data}/BEAMCALC_TEST_DAT.XML
            ${CMAKE_CURRENT_BINARY_DIR}/${upper}_TEST_DAT.XML
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${data_files} ${data}/BEAMCALC_TEST_DAT.XML
    COMMENT "Copying BeamCalc's test data for ${host}")
  add_custom_target(${target} DEPENDS ${stamp})
endfunction()

# A quiet run of a host as a test: every mandatory case passes and its build is recorded.
function(corvala4_quiet_run_test name host_exe)
  add_test(NAME ${name}
    COMMAND ${PROJECT_SOURCE_DIR}/tests/host_quiet_run.sh ${host_exe} ${ARGN}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
