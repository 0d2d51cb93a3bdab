# The Windows setup program: CPack's NSIS generator (makensis, Debian package nsis) over
# the install rules. `cmake --build --preset mingw --target package`, or scripts/make-installer,
# writes build/mingw/<product>-<version>-setup.exe.

# A Windows program folder is flat: the programs, Localization.txt and the icon side by side,
# as the programs look for their files beside the executable.
set(CMAKE_INSTALL_BINDIR .)
install(FILES ${NJ_ICON_FILE} DESTINATION . RENAME nightjar.ico)

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME "${NJ_PRODUCT_NAME}")
set(CPACK_PACKAGE_VENDOR "${NJ_COMPANY_NAME}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${NJ_PRODUCT_NAME}")
set(CPACK_PACKAGE_FILE_NAME "${NJ_PRODUCT_NAME}-${PROJECT_VERSION}-setup")
set(CPACK_NSIS_DISPLAY_NAME "${NJ_PRODUCT_NAME}")
set(CPACK_NSIS_PACKAGE_NAME "${NJ_PRODUCT_NAME}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON "${NJ_ICON_FILE}")
set(CPACK_NSIS_MUI_UNIICON "${NJ_ICON_FILE}")
set(CPACK_NJ_LEGAL_COPYRIGHT "${NJ_LEGAL_COPYRIGHT}")
set(CPACK_NSIS_URL_INFO_ABOUT "https://${NJ_WEBSITE}")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# The shipped programs are stripped; the build tree keeps its symbols for debugging the tests.
set(CPACK_STRIP_FILES ON)
# Our own script (cmake/nsis/NSIS.template.in): a 64-bit setup program, with the
# start-with-Windows choice.
set(CPACK_MODULE_PATH "${PROJECT_SOURCE_DIR}/cmake/nsis")
# The desktop program's own "Run at Startup" entry (settings/RunEntry): a value named after
# the executable's base name whose data is the program folder + "\" + that name, and the
# check box stored in the user's settings of the product.
set(CPACK_NJ_GUI_NAME nightjar)
set(CPACK_NJ_SETTINGS_APP "${NJ_PRODUCT_NAME}")
include(CPack)
