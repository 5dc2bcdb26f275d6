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
#   CPACK_RESOURCE_FILE_LICENSE                   RTF, or plain text that kvpack wraps in RTF, shown
#                                                 before installing (CMake's generic licence is left out)
#   CPACK_PACKAGE_VERSION                         the product's version (file properties, Apps & Features)
#   CPACK_PACKAGE_VENDOR                          also the publisher
#   CPACK_PACKAGE_HOMEPAGE_URL                    the product's web address (Apps & Features)
#   CPACK_PACKAGE_ICON                            the installer's icon, when it is an .ico file
# The package is NAME-VERSION-win64.exe (win32 for the i686 programs), blanks in the name made "-",
# unless CPACK_PACKAGE_FILE_NAME says otherwise.
# kvpack, kvsetup.exe and Kvuninstall.exe are found in KVPACK_ROOT: a Korvalin checkout with its
# native and mingw64 builds (the default: the one this module lies in), or a folder that holds the
# three (an installed copy, in its bin/ or itself). Each may also be given as a cache variable of
# its own:
#   KVPACK_EXECUTABLE     kvpack
#   KVPACK_STUB           kvsetup.exe (else kvpack's KVPACK_STUB at packing time)
#   KVPACK_UNINSTALLER    Kvuninstall.exe (likewise)
#   KVPACK_SETUP_NAME     the name of the installer's own copy in the folder (default SETUP.EXE)
#   KVPACK_DATE           the files' time stamp, ISO-8601 UTC (default: SOURCE_DATE_EPOCH when
#                         set at cpack time, else the newest installed file's time)
get_filename_component(_kvpack_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(KVPACK_ROOT "${_kvpack_root}" CACHE PATH "Korvalin checkout or installed copy that holds kvpack and its programs")

find_program(KVPACK_EXECUTABLE NAMES kvpack
             HINTS "${KVPACK_ROOT}/build/native/tools/kvpack" "${KVPACK_ROOT}/bin" "${KVPACK_ROOT}"
             DOC "kvpack, which builds the installer")
find_file(KVPACK_STUB kvsetup.exe HINTS "${KVPACK_ROOT}/build/mingw64/app" "${KVPACK_ROOT}/bin" "${KVPACK_ROOT}"
          NO_DEFAULT_PATH DOC "kvsetup.exe, the installer program")
find_file(KVPACK_UNINSTALLER Kvuninstall.exe
          HINTS "${KVPACK_ROOT}/build/mingw64/uninstall" "${KVPACK_ROOT}/bin" "${KVPACK_ROOT}"
          NO_DEFAULT_PATH DOC "Kvuninstall.exe, the uninstaller")
set(KVPACK_SETUP_NAME "SETUP.EXE" CACHE STRING "Name of the installer's own copy in the installation folder")
set(KVPACK_DATE "" CACHE STRING "Time stamp of the installed files, ISO-8601 UTC")

if(NOT KVPACK_EXECUTABLE)
  message(FATAL_ERROR "KvpackCPack: kvpack not found in ${KVPACK_ROOT}/build/native/tools/kvpack, "
                      "${KVPACK_ROOT}/bin or on PATH: build Korvalin's native preset, point KVPACK_ROOT at a "
                      "copy that has it, or set KVPACK_EXECUTABLE")
endif()
foreach(_kvpack_part STUB UNINSTALLER)
  if(NOT KVPACK_${_kvpack_part})
    set(KVPACK_${_kvpack_part} "")
    if(NOT DEFINED ENV{KVPACK_${_kvpack_part}})
      # cpack fails with the same words; configuring goes on, since building needs none of them.
      message(WARNING "KvpackCPack: KVPACK_${_kvpack_part} not found in ${KVPACK_ROOT}: build Korvalin's "
                      "mingw64 preset, point KVPACK_ROOT at a copy that has it, or set KVPACK_${_kvpack_part}")
    endif()
  endif()
endforeach()

# The package file name by CPack's convention, NAME-VERSION-SYSTEM, for the processor of the stub.
if(NOT CPACK_PACKAGE_FILE_NAME)
  set(_kvpack_system win64)
  if(KVPACK_STUB)
    file(READ "${KVPACK_STUB}" _kvpack_head LIMIT 1024 HEX)
    string(SUBSTRING "${_kvpack_head}" 120 8 _kvpack_pe)  # e_lfanew at 0x3C, little-endian
    string(REGEX REPLACE "(..)(..)(..)(..)" "0x\\4\\3\\2\\1" _kvpack_pe "${_kvpack_pe}")
    math(EXPR _kvpack_machine_at "(${_kvpack_pe} + 4) * 2")
    string(SUBSTRING "${_kvpack_head}" ${_kvpack_machine_at} 4 _kvpack_machine)
    if(_kvpack_machine STREQUAL "4c01")
      set(_kvpack_system win32)
    endif()
  endif()
  set(_kvpack_name "${CPACK_PACKAGE_NAME}")
  if(NOT _kvpack_name)
    set(_kvpack_name "${PROJECT_NAME}")
  endif()
  set(_kvpack_version "${CPACK_PACKAGE_VERSION}")
  if(NOT _kvpack_version)
    set(_kvpack_version "${PROJECT_VERSION}")
  endif()
  string(REPLACE " " "-" CPACK_PACKAGE_FILE_NAME "${_kvpack_name}-${_kvpack_version}-${_kvpack_system}")
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
