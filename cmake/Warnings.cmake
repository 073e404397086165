# One place for the warning policy of every target of the project.
function(loftwick_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
