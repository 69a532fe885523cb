# Installing and packaging. cmake --install puts the VST 2.4 plug-in under lib/lxvst and
# Lustrana.lv2 under lib/lv2 of the prefix; cpack -G DEB (in the build directory) makes a
# Debian package of the same, installed under /usr. A 32-bit Lustrana.so built with
# cmake/i386.cmake can go into the package beside the 64-bit plug-in:
#   cmake -DLUSTRANA_PLUGIN32=/path/to/build32/Lustrana.so ..
# (it then needs the :i386 variants of libcairo2, libpng16-16 and libx11-6 on the machine).
set(LUSTRANA_PLUGIN32 "" CACHE FILEPATH "A 32-bit Lustrana.so to install beside the 64-bit plug-in")
if(LUSTRANA_PLUGIN32)
  install(FILES ${LUSTRANA_PLUGIN32} DESTINATION lib/lxvst)
endif()

set(CPACK_PACKAGE_NAME lustrana)
set(CPACK_PACKAGE_VENDOR "lustranafx.eu")
set(CPACK_PACKAGE_CONTACT "lustranafx.eu")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Lustrana, a stereo plate reverb (VST 2.4 and LV2 plug-ins)")
set(CPACK_PACKAGE_DESCRIPTION
  "The impulse response of a suspended metal plate, synthesised from noise and convolved with the plate feed, with a tube input stage, filters, modulation and its own editor.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libcairo2 (>= 1.16), libpng16-16 (>= 1.6), libx11-6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_ENHANCES "ardour, jalv, carla, qtractor")
include(CPack)
