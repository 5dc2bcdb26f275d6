# kv_shipped_program(TARGET): the link options and post-build steps of a program that ships to users
# (kvsetup.exe, Kvuninstall.exe) in the MinGW builds. Compile options for size are in mingw-common.cmake.
function(kv_shipped_program target)
  if(NOT MINGW)
    return()
  endif()
  # i686 symbols carry a leading underscore.
  set(us "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(us "_")
  endif()
  # Unused functions and data are dropped. The library's default terminate handler writes the
  # demangled type of an uncaught exception to stderr, which a GUI program does not have, and brings
  # the whole demangler (about 50 KB) along; abort() is what is left of it that matters.
  target_link_options(${target} PRIVATE -Wl,--gc-sections
                      -Wl,--defsym,${us}_ZN9__gnu_cxx27__verbose_terminate_handlerEv=${us}abort)
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/os/library_throws.cpp)
  if(NOT CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
    return()
  endif()
  # The shipped file is stripped; its debug information goes to NAME.exe.debug beside it, which a
  # debugger finds through the debug link, for the analysis of crash dumps from users.
  set(exe $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${exe} ${exe}.debug
                     COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${exe}.debug ${exe}
                     WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
                     VERBATIM)
endfunction()
