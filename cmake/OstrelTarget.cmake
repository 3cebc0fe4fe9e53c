# Compiler settings every Ostrel target shares. Applied per target, never
# directory-wide, so third-party code keeps its own flags.
function(ostrel_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wconversion -Wno-sign-conversion)
  if(OSTREL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # Hardened as Debian builds its own binaries: stack protector, stack clash
  # protection, control-flow protection where the processor has it, full
  # RELRO with immediate binding, PIE (CMAKE_POSITION_INDEPENDENT_CODE), and
  # checked libc calls where the optimiser can see buffer sizes. Fortify
  # needs optimisation and gets in the sanitizers' way, so Debug and the
  # sanitized builds go without it.
  target_compile_options(${target} PRIVATE -fstack-protector-strong -fstack-clash-protection)
  if(OSTREL_HAS_CF_PROTECTION)
    target_compile_options(${target} PRIVATE -fcf-protection)
  endif()
  if(NOT OSTREL_SANITIZE AND NOT OSTREL_FUZZ)
    target_compile_definitions(${target} PRIVATE
      $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  endif()
  target_link_options(${target} PRIVATE LINKER:-z,relro LINKER:-z,now)
endfunction()

# Executables link with -pie as well as their objects being position
# independent.
include(CheckPIESupported)
check_pie_supported()
# Intel's and AMD's control-flow enforcement; other processors have none.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-fcf-protection OSTREL_HAS_CF_PROTECTION)

if(OSTREL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# libFuzzer's coverage on every library; the fuzz targets add its main.
if(OSTREL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "OSTREL_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# ostrel_public_headers(target header...): the headers of `target` that its
# users may include. They are linked into a folder of their own in the build
# tree, which the target hands on; its source folder, and with it every
# other header, stays private. A public header can thus include only public
# headers, its own target's or those of the targets it links.
function(ostrel_public_headers target)
  set(dir ${PROJECT_BINARY_DIR}/include/${target})
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  foreach(header IN LISTS ARGN)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${header})
      message(FATAL_ERROR "${target}: no public header ${header} in ${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${dir}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${dir} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  set_property(TARGET ${target} PROPERTY OSTREL_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# ostrel_inner_headers(consumer target...): the private headers of each
# target for `consumer`, a test, benchmark or fuzz target of their inner
# parts, said where it is built rather than open to all.
function(ostrel_inner_headers consumer)
  foreach(target IN LISTS ARGN)
    get_target_property(dir ${target} OSTREL_SOURCE_DIR)
    if(NOT dir)
      message(FATAL_ERROR "${target} declares no public headers (ostrel_public_headers)")
    endif()
    target_include_directories(${consumer} PRIVATE ${dir})
  endforeach()
endfunction()
