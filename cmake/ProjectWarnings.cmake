# Warnings for our own targets only; third-party headers come in as SYSTEM.
function(project_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # GCC 12 reports overlapping copies inside libstdc++'s string concatenation
  # at -O2 that cannot happen (GCC bug 105329); the warning is in the library.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  # With the sanitizers' instrumentation GCC reports uninitialised members
  # inside libstdc++'s own <regex> and std::function that are set; the
  # release build keeps the warning.
  if(TRANCEL_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
endfunction()
