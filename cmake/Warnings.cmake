# Warnings for our own code; third-party code (GoogleTest) is added before these apply to it.
function(qern_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()
