# Warnings as errors on every compiler.
function(ircapture_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /permissive-)
    # fopen and strerror are the portable calls this code wants; their _s forms are not in C++17.
    target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion
                                             -Wshadow -Wformat=2 -Werror)
  endif()
endfunction()
