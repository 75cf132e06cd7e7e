# Installing on Linux: the program folder as one unit under lib/vintrel, so the application-folder
# rules hold unchanged, links to its two programs in bin, the menu entry with its icons and
# metainfo, the manual pages, and a .deb made from the same rules by CPack.
# Sanitizer builds are for testing only; they are never installed.
if(CMAKE_CROSSCOMPILING OR WIN32 OR VINTREL_SANITIZE
   OR NOT (TARGET vintrel AND TARGET vintrel-cli AND TARGET vintrel_conv))
  return()
endif()

# The manual pages are made with help2man, which only the tests' packages bring (scripts/run.sh
# builds just the programs).
find_program(VINTREL_HELP2MAN help2man)
if(NOT VINTREL_HELP2MAN)
  message(STATUS "help2man not found: no install rules and no .deb (bash scripts/install-deps.sh)")
  return()
endif()

set(VINTREL_APP_ID "org.example.vintrel" CACHE STRING "AppStream id; names the desktop and metainfo files")
set(VINTREL_HOMEPAGE "https://vintrel.example.org" CACHE STRING "Home page named by the package")
set(VINTREL_SCREENSHOT_URL "${VINTREL_HOMEPAGE}/screenshot.png" CACHE STRING "Where docs/screenshot.png is published")
set(VINTREL_MAINTAINER "Vintrel maintainers <maintainers@vintrel.example.org>" CACHE STRING "Package maintainer")

set(_pkg ${CMAKE_CURRENT_LIST_DIR})
set(_out ${CMAKE_BINARY_DIR}/packaging)
set(_program_dir lib/vintrel)

install(TARGETS vintrel vintrel-cli RUNTIME DESTINATION ${_program_dir})
install(TARGETS vintrel_conv RUNTIME DESTINATION ${_program_dir}/data)
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/resources/sound.wav DESTINATION ${_program_dir})
# Its presence keeps settings and output out of the program folder even for root.
file(WRITE ${_out}/installed "The system installed Vintrel here: settings and output go to per-user places.\n")
install(FILES ${_out}/installed DESTINATION ${_program_dir})

# Relative links, so the tree works wherever DESTDIR or the package puts it.
file(MAKE_DIRECTORY ${_out}/links)
foreach(program vintrel vintrel-cli)
  file(CREATE_LINK ../${_program_dir}/${program} ${_out}/links/${program} SYMBOLIC)
  install(FILES ${_out}/links/${program} DESTINATION bin)
endforeach()

install(FILES ${_pkg}/vintrel.desktop DESTINATION share/applications RENAME ${VINTREL_APP_ID}.desktop)
foreach(size 16 22 24 32 48 64 128 256 512)
  install(FILES ${PROJECT_SOURCE_DIR}/src/ui/resources/icon_${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME vintrel.png)
endforeach()
configure_file(${_pkg}/vintrel.metainfo.xml.in ${_out}/${VINTREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_out}/${VINTREL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
configure_file(${_pkg}/copyright.in ${_out}/copyright @ONLY)
# Each Debian release gets a package of its own, built on it against its libraries; the revision
# names the release ("1~deb12"), so the two files differ in name and apt orders them.
set(VINTREL_DEB_REVISION 1)
set(VINTREL_DEB_DISTRIBUTION unstable)
if(EXISTS /etc/os-release)
  file(STRINGS /etc/os-release _os_id REGEX "^ID=\"?debian\"?$")
  file(STRINGS /etc/os-release _os_version REGEX "^VERSION_ID=\"?[0-9]+\"?$")
  file(STRINGS /etc/os-release _os_codename REGEX "^VERSION_CODENAME=[a-z]+$")
  if(_os_id AND _os_version AND _os_codename)
    string(REGEX REPLACE "[^0-9]" "" _os_version "${_os_version}")
    string(REPLACE "VERSION_CODENAME=" "" VINTREL_DEB_DISTRIBUTION "${_os_codename}")
    set(VINTREL_DEB_REVISION "1~deb${_os_version}")
  endif()
endif()
configure_file(${_pkg}/changelog.in ${_out}/changelog.Debian @ONLY)

# vintrel-cli's page is its --help, so the two cannot disagree.
find_program(VINTREL_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${_out}/vintrel-cli.1.gz
  COMMAND ${VINTREL_HELP2MAN} --no-info --section=1 --source=Vintrel
          "--name=convert videos into 3GP for phones, without a window" --include=${_pkg}/vintrel-cli.h2m
          --output=${_out}/vintrel-cli.1 $<TARGET_FILE:vintrel-cli>
  COMMAND ${VINTREL_GZIP} -9nf ${_out}/vintrel-cli.1
  DEPENDS vintrel-cli ${_pkg}/vintrel-cli.h2m
  VERBATIM)
add_custom_command(
  OUTPUT ${_out}/vintrel.1.gz ${_out}/changelog.Debian.gz
  COMMAND ${VINTREL_GZIP} -9nkf ${_out}/changelog.Debian
  COMMAND ${CMAKE_COMMAND} -E copy ${_pkg}/vintrel.1 ${_out}/vintrel.1
  COMMAND ${VINTREL_GZIP} -9nf ${_out}/vintrel.1
  DEPENDS ${_pkg}/vintrel.1 ${_out}/changelog.Debian
  VERBATIM)
add_custom_target(vintrel_install_docs ALL DEPENDS ${_out}/vintrel-cli.1.gz ${_out}/vintrel.1.gz ${_out}/changelog.Debian.gz)
install(FILES ${_out}/vintrel-cli.1.gz ${_out}/vintrel.1.gz DESTINATION share/man/man1)
install(FILES ${_out}/copyright ${_out}/changelog.Debian.gz DESTINATION share/doc/vintrel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vintrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VINTREL_DEB_REVISION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian's AMR-NB encoder is only in the -extra build of libavcodec (which provides the plain
# one); shlibdeps alone names the plain build, with which every file fails. The font gives the
# two Chinese tool tips their characters on a system without any CJK font.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VINTREL_DEB_AVCODEC REQUIRED libavcodec)
string(REGEX MATCH "^[0-9]+" _avcodec_major "${VINTREL_DEB_AVCODEC_VERSION}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libavcodec-extra${_avcodec_major}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VINTREL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VINTREL_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert videos into 3GP for phones")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vintrel converts ordinary video files (AVI, FLV, WMV, MOV, MPG/DAT, ASF, MP4)
into 3GP for phones, with AMR narrow-band sound, at the chosen bitrates,
frame size and frame rate. A small window queues the files and shows the
progress; vintrel-cli runs the same conversion from scripts.")
include(CPack)

if(VINTREL_BUILD_TESTS)
  foreach(part destdir deb)
    add_test(NAME install.${part} COMMAND bash ${_pkg}/test-install.sh ${part} ${CMAKE_BINARY_DIR} ${VINTREL_APP_ID})
    set_tests_properties(install.${part} PROPERTIES LABELS install TIMEOUT 600)
  endforeach()
endif()
