# Warning flags for the project's own targets.
function(pellora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wcast-align -Woverloaded-virtual)
  if(PELLORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
