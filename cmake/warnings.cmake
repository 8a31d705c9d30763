# Every target of ours builds warning-free; presets used by CI turn warnings into errors.
function(tonvela_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(TONVELA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
