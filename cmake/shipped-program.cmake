# kv_shipped_program(TARGET DESCRIPTION MARK): what a program that ships to users (kvsetup.exe,
# Kvuninstall.exe) gets in the MinGW builds: the application manifest and a version resource naming it
# (res/program.rc), size-saving link options, and in release builds a stripped file with its debug
# information beside it. The compile options for size are in mingw-common.cmake.
function(kv_shipped_program target description mark)
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
#define KV_PROGRAM_MARK ${mark}
")
  target_include_directories(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${info}> $<$<COMPILE_LANGUAGE:RC>:${CMAKE_SOURCE_DIR}>)
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
  # The runtime of the win32 thread model: the posix model's libstdc++ and unwinder lock through
  # winpthreads (about 30 KB), which these single-threaded programs need for nothing. The code is
  # compiled as everything else; only libstdc++, libgcc and libgcc_eh come from the win32 build
  # (searched before the compiler's own folder), and -no-pthread leaves winpthreads off the link, so
  # any code that still calls a pthread function fails to link instead of bringing it back.
  kv_win32_threads_runtime(runtime)
  target_link_options(${target} PRIVATE -L${runtime} -no-pthread)
  # The linker map beside the program says what each library costs (scripts/bench-size.sh).
  target_link_options(${target} PRIVATE -Wl,-Map,$<TARGET_FILE:${target}>.map)
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

# The folder of the win32 thread model's libstdc++ and libgcc, from Debian's *-g++-win32 compiler.
function(kv_win32_threads_runtime out)
  if(NOT KV_WIN32_THREADS_RUNTIME)
    find_program(kv_win32_cxx ${KV_MINGW_TRIPLE}-g++-win32)
    if(NOT kv_win32_cxx)
      message(FATAL_ERROR "${KV_MINGW_TRIPLE}-g++-win32 is missing: run scripts/setup.sh")
    endif()
    execute_process(COMMAND ${kv_win32_cxx} -print-file-name=libstdc++.a OUTPUT_VARIABLE library
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    get_filename_component(folder ${library} DIRECTORY)
    get_filename_component(folder ${folder} REALPATH)
    set(KV_WIN32_THREADS_RUNTIME ${folder} CACHE INTERNAL "libstdc++ and libgcc of the win32 thread model")
  endif()
  set(${out} ${KV_WIN32_THREADS_RUNTIME} PARENT_SCOPE)
endfunction()
