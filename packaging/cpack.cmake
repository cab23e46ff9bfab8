# The Debian package orvane_<version>_amd64.deb, made by `cpack -G DEB` in
# the build folder (`make package` at the top does that).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Orvane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for RWX model scripts that saves numbered variants")
# The long description, in lines of at most 80 characters; an empty line
# starts a paragraph.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Orvane is a desktop editor for RWX model scripts, the line-oriented text"
  "format in which a 3D object is written as ModelBegin, ClumpBegin, Vertex,"
  "Quad, Texture and Transform statements. It is made for a modeller who"
  "turns one object into a numbered series of variants: open house12.rwx,"
  "edit it, and Save Zip Next saves house13.rwx beside it and packs it into"
  "its own archive house13.zip."
  ""
  "Menus insert statement templates; commands strip comments, blanks and"
  "empty lines; structural mistakes are marked while you type; and a live 3D"
  "preview shows the object the script draws. Bytes you did not edit come"
  "back unchanged, in the script's own encoding and line breaks.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVANE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the binaries link are found by dpkg-shlibdeps; Qt's SVG
# plugins, which draw the icon, are loaded at run time and named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
include(CPack)
