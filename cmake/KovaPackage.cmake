# The Debian package, `cpack -G DEB` in the build folder (`make deb`).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kova)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KOVA maintainers <maintainers@kova.example.org>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# CPack indents the lines after the first (the synopsis) itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "serverless video calls, chat and file exchange
KOVA calls another computer directly, without a server: two people who know
each other's address talk and see each other over any camera, chat in rich
text and send each other files. Router port mappings by UPnP or NAT-PMP.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's X11 platform plugin is loaded at run time, so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# ALSA's default device reaches the desktop's sound server through these
# plugins; xdg-open shows the help page.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libasound2-plugins, xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
