# The Debian package: `make package` (or `cpack` in the build folder) writes tessara_<version>_amd64.deb,
# installable with `apt install ./tessara_*.deb`, which pulls in the libraries the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessara)
set(CPACK_PACKAGE_VENDOR Norvik)
set(CPACK_PACKAGE_CONTACT "Tessara developers <info@tessara.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "offline city guide: city map and directory of organisations")
set(CPACK_PACKAGE_DESCRIPTION
  "Tessara shows a city map (2D or OpenGL) beside a directory of organisations, buildings, streets and
public transport. Each city is one data file; the package brings the demo city Demograd and the
publisher's tools (gis-osm, gis-gen, gis-dump, tessara-render, tessara-vendor, publish-city).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tessara.example.org/")
# The libraries come from dpkg-shlibdeps (the X11 and offscreen platform plugins and the JPEG reader come
# with libqt6gui6); the fonts the texts are measured with are named here, and Wayland's plugin is welcome.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
