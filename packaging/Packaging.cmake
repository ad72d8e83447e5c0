# Packaging: what `cmake --install` puts where, the manual pages and bash completion
# made at build time from the programs' own --help, and the Debian packages (CPack):
# ormax, and python3-ormax where the Python module is built.
#   targets: manpages, completion (both in ALL); package (make package)
#   test: Package.InstallsAndRecognisesTheSamples (skipped where dpkg-deb is absent)
# Needs help2man and gzip at configure time (scripts/install-deps.sh installs them).
include(GNUInstallDirs)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_program(ORMAX_HELP2MAN help2man)
find_program(ORMAX_GZIP gzip)
if(NOT ORMAX_HELP2MAN OR NOT ORMAX_GZIP)
  message(FATAL_ERROR "help2man and gzip make the manual pages: run scripts/install-deps.sh")
endif()

set(ORMAX_PACKAGING ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(ORMAX_STAGE ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${ORMAX_STAGE}/completions)
set(ORMAX_MAINTAINER "Ormax 4 developers <ormax@example.org>"
    CACHE STRING "The Debian package's Maintainer field")

# ---- manual pages: help2man over --help and --version, gzipped as Debian wants ----
# ormax-cli's page adds a section per command, read from each command's --help.
add_custom_command(
  OUTPUT ${ORMAX_STAGE}/ormax-cli.1.gz
  COMMAND ${Python3_EXECUTABLE} ${ORMAX_PACKAGING}/from_help.py man-include
          $<TARGET_FILE:ormax-cli> ${ORMAX_STAGE}/ormax-cli.h2m
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          ${ORMAX_HELP2MAN} --no-info --section=1
          "--name=recognise shapes in pictures from the command line"
          --include=${ORMAX_STAGE}/ormax-cli.h2m --output=${ORMAX_STAGE}/ormax-cli.1
          $<TARGET_FILE:ormax-cli>
  COMMAND ${ORMAX_GZIP} -9nf ${ORMAX_STAGE}/ormax-cli.1
  DEPENDS ormax-cli ${ORMAX_PACKAGING}/from_help.py
  COMMENT "Manual page ormax-cli(1) from --help"
  VERBATIM)
add_custom_command(
  OUTPUT ${ORMAX_STAGE}/ormax.1.gz
  COMMAND ${ORMAX_HELP2MAN} --no-info --section=1
          "--name=recognise shapes in pictures (the desktop program)"
          --include=${ORMAX_PACKAGING}/ormax.h2m --output=${ORMAX_STAGE}/ormax.1
          $<TARGET_FILE:ormax>
  COMMAND ${ORMAX_GZIP} -9nf ${ORMAX_STAGE}/ormax.1
  DEPENDS ormax ${ORMAX_PACKAGING}/ormax.h2m
  COMMENT "Manual page ormax(1) from --help"
  VERBATIM)
add_custom_target(manpages ALL DEPENDS ${ORMAX_STAGE}/ormax-cli.1.gz ${ORMAX_STAGE}/ormax.1.gz)

# ---- bash completion: every command and option of --help ----
add_custom_command(
  OUTPUT ${ORMAX_STAGE}/completions/ormax-cli ${ORMAX_STAGE}/completions/ormax
  COMMAND ${Python3_EXECUTABLE} ${ORMAX_PACKAGING}/from_help.py completion
          $<TARGET_FILE:ormax-cli> $<TARGET_FILE:ormax> ${ORMAX_STAGE}/completions
  DEPENDS ormax-cli ormax ${ORMAX_PACKAGING}/from_help.py
  COMMENT "bash completion from --help"
  VERBATIM)
add_custom_target(completion ALL
  DEPENDS ${ORMAX_STAGE}/completions/ormax-cli ${ORMAX_STAGE}/completions/ormax)

# ---- the changelog (a native package: changelog.gz), dated by the last commit ----
execute_process(COMMAND git log -1 --format=%cD
                WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                OUTPUT_VARIABLE ORMAX_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET)
if(NOT ORMAX_CHANGELOG_DATE)
  string(TIMESTAMP ORMAX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()
set(ORMAX_DEB_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORMAX_MAINTAINER})
configure_file(${ORMAX_PACKAGING}/changelog.in ${ORMAX_STAGE}/changelog @ONLY)
add_custom_command(
  OUTPUT ${ORMAX_STAGE}/changelog.gz
  COMMAND ${ORMAX_GZIP} -9nkf ${ORMAX_STAGE}/changelog
  DEPENDS ${ORMAX_STAGE}/changelog
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${ORMAX_STAGE}/changelog.gz)

# ---- install rules (prefix /usr in the package) ----
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS ormax ormax-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${ORMAX_PACKAGING}/ormax.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/data/ormax.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${ORMAX_STAGE}/ormax.1.gz ${ORMAX_STAGE}/ormax-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ORMAX_STAGE}/completions/ormax-cli ${ORMAX_STAGE}/completions/ormax
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/examples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ormax/examples)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/README.md ${ORMAX_PACKAGING}/copyright
              ${ORMAX_STAGE}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ormax)

# ---- the Python module: a package of its own, python3-ormax, as Debian names the
# packages of Python modules; installed where Debian's python3 finds it ----
if(TARGET ormax_python)
  install(TARGETS ormax_python LIBRARY DESTINATION lib/python3/dist-packages
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ COMPONENT python)
  install(FILES ${ORMAX_PACKAGING}/copyright ${ORMAX_STAGE}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/python3-ormax COMPONENT python)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Unspecified python)
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME ormax)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-ormax)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # The interpreter the module is built for, and numpy for its arrays; the libraries
  # it links come from dpkg-shlibdeps.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${ORMAX_PYTHON_NEXT_MINOR}), python3-numpy")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-dask, python3-distributed, ormax")
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION
      "The Python module ormax gives Python the pipeline of Ormax 4: scenes
from picture files or numpy arrays, their regions and codes (the same bytes
as the code files of ormax-cli), bases, recognition by the nearest code,
and the views as numpy arrays.")
endif()

# ---- the Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ormax)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recognise shapes in pictures by trees of ellipses")
# The synopsis above, then this text (CPack indents it; an empty line parts paragraphs).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Ormax 4 opens a scene (a BMP picture), reduces it to 256 colours, cuts it into
a quadtree of single-colour cells and segments it into 8-connected regions.
Every region is described by a binary tree of moment-fitted ellipses,
normalised so that position, rotation and size drop out, and flattened into a
small binary code. A base of such codes recognises the regions of a scene by
their nearest code.

The package holds the desktop program (ormax), the command line (ormax-cli)
and sample shapes, scenes and a base in /usr/share/ormax/examples.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins, so dpkg-shlibdeps cannot see them: the SVG icon engine (the
# program's icon) and fonts for the labels.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

# ---- the package, built from these binaries, unpacked and tried ----
add_test(NAME Package.InstallsAndRecognisesTheSamples
  COMMAND bash ${ORMAX_PACKAGING}/test_package.sh ${CMAKE_CURRENT_BINARY_DIR}
          ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_VERSION})
set_tests_properties(Package.InstallsAndRecognisesTheSamples PROPERTIES
  SKIP_RETURN_CODE 77 TIMEOUT 600)
