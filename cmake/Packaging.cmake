# `make package`: a Debian package of what `cmake --install` puts in place.
# Its library dependencies come from dpkg-shlibdeps; the programs the
# imaging library starts at run time are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VENDOR "${KESTRUNE_MAKER}")
set(CPACK_PACKAGE_CONTACT "Kestrune developers <kestrune@kestrune.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert pictures for web pages and cut rollover menus")
# One string: CMake would join several with semicolons.
set(CPACK_PACKAGE_DESCRIPTION "Kestrune converts whole folders of pictures to one of twelve types (JPG, TIF,
BMP, RLE, PCX, PNG, DXF, PCD, WMF, TGA, DCX, EPS) at the size a page needs, and
cuts three pictures of a menu into the pieces of a rollover menu with its page.
Both jobs run in its window or from the command line without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.kestrune.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# EPS files are drawn by Ghostscript and metafiles by GraphicsMagick's gm,
# each run as a child process under bubblewrap.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ghostscript, graphicsmagick, bubblewrap")
include(CPack)
