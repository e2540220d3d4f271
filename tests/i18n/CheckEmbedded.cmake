# cmake -DSCRIPT=list-embedded.sh -DEXE=trimvale -DEXPECTED="a;b" -P CheckEmbedded.cmake
# Lists the files embedded in EXE and compares them with EXPECTED ("/" read as "\").
execute_process(COMMAND bash ${SCRIPT} ${EXE} OUTPUT_VARIABLE listed RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "listing the embedded files of ${EXE} failed")
endif()
string(REPLACE "/" "\\" expected "${EXPECTED}")
string(REPLACE ";" "\n" expected "${expected}")
string(STRIP "${listed}" listed)
if(NOT listed STREQUAL expected)
  message(FATAL_ERROR "${EXE} carries\n${listed}\ninstead of\n${expected}")
endif()
list(LENGTH EXPECTED count)
message(STATUS "${EXE} carries ${count} catalogues")
