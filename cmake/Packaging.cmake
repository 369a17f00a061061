# The Debian package: script/package builds it; data/tests/package.sh checks it.
# Installing needs only what it installs, so CPack and script/package do not build the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME skerrin)
set(CPACK_PACKAGE_VENDOR Brevant)
set(CPACK_PACKAGE_CONTACT "Skerrin maintainers <skerrin@brevant.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps a local Brevant runtime online")
set(CPACK_PACKAGE_DESCRIPTION
  "Skerrin installs, watches and controls a local Brevant runtime: it starts,\n"
  "stops and keeps online the runtime's desktop service, shows the setup code\n"
  "for pairing a phone, and runs diagnostics of the runtime, Node.js, npm, the\n"
  "Codex command-line tool and the network, in English or Simplified Chinese.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${SKERRIN_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The symbols are SVG, drawn through Qt's image plugin: no program links Qt Svg, so the library
# scan cannot find it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
# The panel is bilingual: without a Chinese font its Chinese texts are empty boxes (only the
# language picker's "中文" carries a picture of its own). Any one of these will do.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The application's files and, for the package only, the Debian documentation.
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/"
  "${CMAKE_BINARY_DIR};${PROJECT_NAME};debian;/")
include(CPack)
