# What `cmake --install` puts where, and the Debian package CPack makes of it:
#   bin/naib-bootstrapper             a link to the program below (for -version)
#   bin/naib-bundle, naib-sign, naib-verify, naib-publish
#   lib/naib-bootstrapper/            the program and its GTK module, which it loads from
#                                     its own real folder (naib-bundle copies both), and
#                                     naib-launcher (naib-bundle --archive puts it on top)
#   share/man/man1/                   a page per command
# The tools carry the vendor's root (NAIB_TRUSTED_ROOT_DER); the test-root twins stay in
# the build folder.
set(NAIB_PRIVATE_DIR lib/naib-bootstrapper)
set(NAIB_SHIPPED_TOOLS naib-bundle naib-sign naib-verify naib-publish)
set(NAIB_COMMANDS naib-bootstrapper ${NAIB_SHIPPED_TOOLS})

install(TARGETS naib-bootstrapper naib-launcher RUNTIME DESTINATION ${NAIB_PRIVATE_DIR})
if(NAIB_WITH_GTK)
  install(TARGETS naib-gtk-presenter LIBRARY DESTINATION ${NAIB_PRIVATE_DIR})
endif()
install(TARGETS ${NAIB_SHIPPED_TOOLS} RUNTIME DESTINATION bin)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/install-links)
file(CREATE_LINK ../${NAIB_PRIVATE_DIR}/naib-bootstrapper
     ${PROJECT_BINARY_DIR}/install-links/naib-bootstrapper SYMBOLIC)
install(FILES ${PROJECT_BINARY_DIR}/install-links/naib-bootstrapper DESTINATION bin)

# Man pages go compressed, as Debian keeps them.
find_program(NAIB_GZIP gzip REQUIRED)
set(man_pages "")
foreach(command IN LISTS NAIB_COMMANDS)
  set(page ${PROJECT_BINARY_DIR}/man/${command}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${NAIB_GZIP} -9nc ${PROJECT_SOURCE_DIR}/doc/man/${command}.1 > ${page}
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/man/${command}.1
    COMMENT "Compressing the ${command} man page")
  list(APPEND man_pages ${page})
endforeach()
add_custom_target(naib-man ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION share/man/man1)

# Everything that gets installed, and nothing else: `cmake --build B --target naib-ship`.
add_custom_target(naib-ship DEPENDS naib-bootstrapper naib-launcher ${NAIB_SHIPPED_TOOLS} naib-man)
if(NAIB_WITH_GTK)
  add_dependencies(naib-ship naib-gtk-presenter)
endif()

# The package: naib-bootstrapper_<version>_<arch>.deb. Depends comes from dpkg-shlibdeps
# over the program, the launcher and the tools; the GTK module is loaded only when a window
# must show, so its libraries, and the CJK fonts of three catalogue languages, are Recommends
# (cmake/NaibDebDepends.cmake.in, run by cpack).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME naib-bootstrapper)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Install bootstrapper for applications on the Halvex Orvel runtime, with vendor tools")
set(CPACK_PACKAGE_DESCRIPTION
    "The program an application's install bundle runs, and the tools to bundle an\n application, sign and publish the runtime installer, and check a signature.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Install bootstrapper maintainers <bootstrapper@example.org>")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(NAIB_DEB_DEPENDS_SCRIPT ${PROJECT_BINARY_DIR}/NaibDebDepends.cmake)
set(NAIB_DEB_MODULE "")
if(NAIB_WITH_GTK)
  set(NAIB_DEB_MODULE "$<TARGET_FILE:naib-gtk-presenter>")
endif()
set(NAIB_DEB_PROGRAMS "$<TARGET_FILE:naib-bootstrapper>;$<TARGET_FILE:naib-launcher>")
foreach(tool IN LISTS NAIB_SHIPPED_TOOLS)
  string(APPEND NAIB_DEB_PROGRAMS ";$<TARGET_FILE:${tool}>")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/NaibDebDepends.cmake.in
               ${PROJECT_BINARY_DIR}/NaibDebDepends.cmake.gen @ONLY)
file(GENERATE OUTPUT ${NAIB_DEB_DEPENDS_SCRIPT} INPUT ${PROJECT_BINARY_DIR}/NaibDebDepends.cmake.gen)
set(CPACK_PROJECT_CONFIG_FILE ${NAIB_DEB_DEPENDS_SCRIPT})
include(CPack)
