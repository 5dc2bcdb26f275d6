# kv_delay_load(NAME DLL...): NAME, an interface library that links to these system DLLs through
# delay-import libraries, so each is loaded at its first call, after WinMain has limited the DLL search to the
# system folder, and not by the loader before the program's first line. That matters for the DLLs
# they bring in themselves: under Wine, user32 imports version.dll, which the loader would otherwise
# look for in the program's folder first. (The PE load configuration's DependentLoadFlags would do
# this on Windows 10, but binutils 2.40 cannot set it and Wine 8 does not read it.)
# The delay-import libraries are made at configure time with dlltool from the toolchain's own import
# libraries: their __imp_ symbols list what each DLL exports.
# The i686 linker drops every delay-load thunk that no code names (the code calls through the import
# slot, not the thunk), which would leave the slot 0; keep_delay_thunks.py, the linker launcher of the
# 32-bit build, links again with the thunks of the functions in use named, so they are kept.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_package(Python3 COMPONENTS Interpreter REQUIRED)
  foreach(lang C CXX)
    set(CMAKE_${lang}_LINKER_LAUNCHER ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/keep_delay_thunks.py ${CMAKE_NM})
  endforeach()
endif()
function(kv_delay_load target)
  add_library(${target} INTERFACE)
  set(dir ${CMAKE_BINARY_DIR}/delay-import)
  file(MAKE_DIRECTORY ${dir})
  foreach(dll ${ARGN})
    set(lib ${dir}/lib${dll}_delay.a)
    if(NOT EXISTS ${lib})
      find_library(kv_import_${dll} ${dll} REQUIRED)
      execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${kv_import_${dll}} OUTPUT_VARIABLE symbols
                      COMMAND_ERROR_IS_FATAL ANY)
      # 32-bit symbols carry one more leading underscore and a stdcall "@N", which dlltool -k drops
      # from the name looked up in the DLL.
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(prefix "__imp__")
        set(kill_at -k)
      else()
        set(prefix "__imp_")
        set(kill_at "")
      endif()
      string(REGEX MATCHALL " I ${prefix}[^\n]+" names "${symbols}")
      list(TRANSFORM names REPLACE " I ${prefix}" "")
      list(JOIN names "\n" exports)
      file(WRITE ${dir}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
      execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill_at} --input-def ${dir}/${dll}.def --dllname ${dll}.dll
                              --output-delaylib ${lib} COMMAND_ERROR_IS_FATAL ANY)
    endif()
    target_link_libraries(${target} INTERFACE ${lib})
  endforeach()
endfunction()
