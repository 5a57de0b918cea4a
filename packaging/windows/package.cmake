# The Windows packages: an installer (NSIS) and a portable .zip of one folder, laid out as
# Windows programs are: the programs, the DLLs they load and Qt's plugins beside them, the
# sounds in data\ (where a portable copy also keeps its config.txt), the sample firmware files.
set(windows ${CMAKE_CURRENT_SOURCE_DIR}/windows)

install(TARGETS lir2gui lir2-cli RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/data/ok.wav ${CMAKE_SOURCE_DIR}/data/error.wav DESTINATION data)
file(GLOB samples ${CMAKE_SOURCE_DIR}/samples/*.lir2)
install(FILES ${samples} DESTINATION samples)

# The licence, in Windows' own text form (UTF-8 with its mark, CR LF), with the GPL's text.
file(READ /usr/share/common-licenses/GPL-3 LIR2_GPL3_TEXT)
configure_file(${windows}/license.txt.in ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt @ONLY
               NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt ${CMAKE_SOURCE_DIR}/README.md DESTINATION .)

# What the programs load, found at installation (deploy.cmake).
get_filename_component(qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
set(qm ${qt_prefix}/translations/qtbase_ru.qm)
if(NOT EXISTS ${qm})
  set(qm /usr/share/qt6/translations/qtbase_ru.qm)  # Debian's, of the same Qt version
endif()
set(runtime_dirs /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
install(CODE "
  set(LIR2_DEPLOY_QT \"${qt_prefix}\")
  set(LIR2_DEPLOY_DIRS \"${qt_prefix}/bin;${runtime_dirs}\")
  set(LIR2_DEPLOY_OBJDUMP \"${CMAKE_OBJDUMP}\")
  set(LIR2_DEPLOY_STRIP \"${CMAKE_STRIP}\")
  set(LIR2_DEPLOY_TRANSLATIONS \"${qm}\")
  set(LIR2_DEPLOY_REPORT \"${CMAKE_BINARY_DIR}/deploy.txt\")")
install(SCRIPT ${windows}/deploy.cmake)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME LIR2Gui)
set(CPACK_PACKAGE_VENDOR LIR2Gui)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Service tool for LIR battery inverter/chargers")
set(CPACK_PACKAGE_FILE_NAME LIR2Gui-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY LIR2Gui)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY LIR2Gui)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt)

set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "LIR2Gui ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "LIR2Gui ${PROJECT_VERSION}")
# The Start menu's entry; the programs lie at the top of the folder, not in bin\.
set(CPACK_PACKAGE_EXECUTABLES lir2gui LIR2Gui)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_FINISHPAGE_RUN lir2gui.exe)
set(CPACK_NSIS_MUI_ICON ${windows}/lir2gui.ico)
set(CPACK_NSIS_MUI_UNIICON ${windows}/lir2gui.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME lir2gui.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# A 64-bit installer for a 64-bit program (it also runs where Windows has no 32-bit layer, as
# Wine without its 32-bit part); Unicode for the Russian pages and the licence's Cyrillic.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
include(CPack)
