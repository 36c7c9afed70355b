# cmake -DEXE=zavero.exe -DBUDGET=bytes -P check_size.cmake: fails when EXE is larger than BUDGET.
if(NOT BUDGET MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no budget given")
endif()
file(SIZE "${EXE}" size)
if(size GREATER BUDGET)
  message(FATAL_ERROR "${EXE} is ${size} bytes, over the budget of ${BUDGET}")
endif()
message("${EXE} is ${size} bytes, within the budget of ${BUDGET}")
