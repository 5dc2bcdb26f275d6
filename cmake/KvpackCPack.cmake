# KvpackCPack: `cpack` makes a Korvalin installer of the project's install() rules.
#
#   list(APPEND CMAKE_MODULE_PATH <Korvalin>/cmake)
#   set(CPACK_PACKAGE_EXECUTABLES "MYAPP" "My App")   # program (without .exe) and shortcut caption
#   include(KvpackCPack)                               # instead of include(CPack)
#
# CPack's External generator stages the install() rules; KvpackCPackPackage.cmake then writes a
# kvpack project from them and the usual CPACK_* variables, and runs kvpack:
#   CPACK_PACKAGE_NAME, CPACK_PACKAGE_VERSION     the title "NAME VERSION"
#   CPACK_PACKAGE_INSTALL_REGISTRY_KEY            the name registered for uninstalling
#                                                 (default: CPACK_PACKAGE_INSTALL_DIRECTORY)
#   CPACK_PACKAGE_INSTALL_DIRECTORY               the folder under C:\Program Files
#   CPACK_PACKAGE_VENDOR                          the Programs-menu folder when set, else the name
#   CPACK_PACKAGE_EXECUTABLES                     pairs of program and caption: a Programs-menu
#                                                 shortcut each; the first is offered to run at the end
#   CPACK_CREATE_DESKTOP_LINKS                    programs that also get a Desktop shortcut
#   CPACK_RESOURCE_FILE_LICENSE                   RTF, or plain text wrapped in RTF, shown before
#                                                 installing (CMake's generic licence is left out)
# and these, as cache variables or set before the include:
#   KVPACK_EXECUTABLE     kvpack (default: found on PATH or in <Korvalin>/build/native)
#   KVPACK_STUB           kvsetup.exe (default: <Korvalin>/build/mingw64, the x86-64 programs,
#                         else kvpack's KVPACK_STUB)
#   KVPACK_UNINSTALLER    Kvuninstall.exe (likewise)
#   KVPACK_SETUP_NAME     the name of the installer's own copy in the folder (default SETUP.EXE)
#   KVPACK_DATE           the files' time stamp, ISO-8601 UTC (default: SOURCE_DATE_EPOCH when
#                         set at cpack time, else the newest installed file's time)
get_filename_component(_kvpack_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

find_program(KVPACK_EXECUTABLE NAMES kvpack HINTS "${_kvpack_root}/build/native/tools/kvpack"
             DOC "kvpack, which builds the installer")
foreach(_kvpack_part STUB:app/kvsetup.exe UNINSTALLER:uninstall/Kvuninstall.exe)
  string(REPLACE ":" ";" _kvpack_part "${_kvpack_part}")
  list(GET _kvpack_part 0 _kvpack_name)
  list(GET _kvpack_part 1 _kvpack_file)
  # Left empty when the Korvalin build has none: kvpack then takes KVPACK_STUB or KVPACK_UNINSTALLER
  # from its environment.
  set(_kvpack_default "")
  if(EXISTS "${_kvpack_root}/build/mingw64/${_kvpack_file}")
    set(_kvpack_default "${_kvpack_root}/build/mingw64/${_kvpack_file}")
  endif()
  set(KVPACK_${_kvpack_name} "${_kvpack_default}" CACHE FILEPATH "${_kvpack_file} for the installer")
endforeach()
set(KVPACK_SETUP_NAME "SETUP.EXE" CACHE STRING "Name of the installer's own copy in the installation folder")
set(KVPACK_DATE "" CACHE STRING "Time stamp of the installed files, ISO-8601 UTC")

if(NOT KVPACK_EXECUTABLE)
  message(FATAL_ERROR "KvpackCPack: kvpack not found: set KVPACK_EXECUTABLE")
endif()

# Only CPACK_* variables reach cpack, so the settings travel under those names.
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/KvpackCPackPackage.cmake")
# The staged tree is the installation folder itself.
set(CPACK_PACKAGING_INSTALL_PREFIX "")
set(CPACK_KVPACK_EXECUTABLE "${KVPACK_EXECUTABLE}")
set(CPACK_KVPACK_STUB "${KVPACK_STUB}")
set(CPACK_KVPACK_UNINSTALLER "${KVPACK_UNINSTALLER}")
set(CPACK_KVPACK_SETUP_NAME "${KVPACK_SETUP_NAME}")
set(CPACK_KVPACK_DATE "${KVPACK_DATE}")
include(CPack)
