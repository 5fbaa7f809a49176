# kestrovan_warnings(target): the project's warning set, as errors.
function(kestrovan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter)
endfunction()

option(KESTROVAN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KESTROVAN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined -shared-libasan)
endif()
