# Warnings for the product's own code (the logic, the glue, the DLL), every
# one an error there. Tests, tools, the bench and GoogleTest keep the
# project-wide baseline without -Werror.
if(MSVC)
  set(VELTRA_PRODUCT_WARNINGS /W4 /WX)
  set(VELTRA_LOGIC_WARNINGS /w14265)  # C4265: virtual functions but no virtual destructor
else()
  set(VELTRA_PRODUCT_WARNINGS
    -Wall -Wextra -Wpedantic
    -Wunused-parameter     # the project-wide baseline turns it off for test fixtures
    -Wshadow               # a local or parameter that hides a member or an outer name
    -Woverloaded-virtual   # an override whose signature drifted hides the base function
    -Wold-style-cast       # casts say which kind they are
    -Wconversion -Wsign-conversion  # narrowing of sizes, handles and identifiers
    -Wcast-qual
    -Wformat=2
    -Wimplicit-fallthrough
    -Wnull-dereference
    -Wundef                # a misspelled macro in #if reads as 0
    -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND VELTRA_PRODUCT_WARNINGS
      -Wcast-align=strict  # x86 never faults on alignment, so ask for the strict check
      -Wduplicated-cond -Wduplicated-branches -Wlogical-op)
  elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    list(APPEND VELTRA_PRODUCT_WARNINGS -Wcast-align -Wunreachable-code)
  endif()
  # The seams are deleted through their interfaces. Not for the glue: COM
  # interfaces have no virtual destructor by design (objects go through
  # Release, never through delete on the interface).
  set(VELTRA_LOGIC_WARNINGS -Wnon-virtual-dtor)
endif()

# veltra_product_warnings(LOGIC|GLUE target...): targets that do not exist in
# this build (the glue in the native one) are skipped.
function(veltra_product_warnings kind)
  foreach(t ${ARGN})
    if(TARGET ${t})
      # C++ only: the DLL's version resource goes through the resource compiler.
      target_compile_options(${t} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${VELTRA_PRODUCT_WARNINGS}>")
      if(kind STREQUAL "LOGIC")
        target_compile_options(${t} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${VELTRA_LOGIC_WARNINGS}>")
      endif()
    endif()
  endforeach()
endfunction()
