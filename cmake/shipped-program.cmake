# kv_shipped_program(TARGET DESCRIPTION): what a program that ships to users (kvsetup.exe,
# Kvuninstall.exe) gets in the MinGW builds: the application manifest and a version resource naming it
# (res/program.rc), size-saving link options, and in release builds a stripped file with its debug
# information beside it. The compile options for size are in mingw-common.cmake.
function(kv_shipped_program target description)
  if(NOT MINGW)
    return()
  endif()
  set(rc ${CMAKE_SOURCE_DIR}/res/program.rc)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/program.manifest)
  # The program's texts reach the resource script through a generated header: windres loses the
  # quoting of a -D value with spaces.
  set(info ${CMAKE_CURRENT_BINARY_DIR}/${target}-info)
  file(GENERATE OUTPUT ${info}/program_info.h CONTENT
"#define KV_FILE_DESCRIPTION \"${description}\"
#define KV_FILE_NAME \"$<TARGET_FILE_NAME:${target}>\"
#define KV_VERSION_TEXT \"${PROJECT_VERSION}\"
#define KV_VERSION_NUMBERS ${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, 0
")
  target_include_directories(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${info}>)
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
