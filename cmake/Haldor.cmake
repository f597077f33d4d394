# Shared build settings for every target of the toolkit.

add_library(haldor_warnings INTERFACE)
target_compile_options(haldor_warnings INTERFACE -Wall -Wextra -Wpedantic)

set(HALDOR_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined")
# Fuzzing needs clang's libFuzzer; every target is then instrumented for
# coverage and built with AddressSanitizer and UndefinedBehaviorSanitizer.
if(HALDOR_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "HALDOR_BUILD_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++)")
  endif()
  if(NOT HALDOR_SANITIZE)
    set(HALDOR_SANITIZE address,undefined)
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(HALDOR_SANITIZE)
  add_compile_options(-fsanitize=${HALDOR_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${HALDOR_SANITIZE})
endif()

# The front end starts the module programs from "<working dir>/modules/", so
# the build tree keeps them in a modules/ folder of its own.
set(HALDOR_MODULE_DIR ${CMAKE_BINARY_DIR}/modules)

# haldor_add_module(<Program> <library> <main source>)
function(haldor_add_module program library main_source)
  add_executable(${program} ${main_source})
  target_link_libraries(${program} PRIVATE ${library} haldor_warnings)
  if(NOT HALDOR_SANITIZE)
    target_link_libraries(${program} PRIVATE haldor_large_blocks)
  endif()
  set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${HALDOR_MODULE_DIR})
  install(TARGETS ${program} RUNTIME DESTINATION modules)
endfunction()
