# The folders of an install under CMAKE_INSTALL_PREFIX (GNUInstallDirs), as
# install destinations and as the full paths the installed files name.
# Configured for /usr (the Debian package), state goes to /var (and
# configuration to /etc, packaging/CMakeLists.txt); for any other prefix,
# such as the default /usr/local, both stay under the prefix.
include(GNUInstallDirs)

set(TAVRA_PROGRAMS_DIR ${CMAKE_INSTALL_LIBEXECDIR}/tavra)
set(TAVRA_FULL_PROGRAMS_DIR ${CMAKE_INSTALL_FULL_LIBEXECDIR}/tavra)
set(TAVRA_SAMPLE_DIR ${CMAKE_INSTALL_DATADIR}/tavra)
set(TAVRA_FULL_SAMPLE_DIR ${CMAKE_INSTALL_FULL_DATADIR}/tavra)
set(TAVRA_FULL_BINDIR ${CMAKE_INSTALL_FULL_BINDIR})
set(TAVRA_FULL_REGISTRY_DIR ${CMAKE_INSTALL_FULL_LOCALSTATEDIR}/lib/tavra)
set(TAVRA_UNITS_DIR lib/systemd/system)

# Where tavra-shop create writes the drop-ins of the units for its shops
# (the folders of the registered shops open to the clean-up, the user of
# each shop's FastCGI programs): the administrator's folder for the system's
# install (the package's units are in /usr/lib), the prefix's unit folder
# otherwise.
if(CMAKE_INSTALL_FULL_SYSCONFDIR STREQUAL "/etc")
  set(TAVRA_UNIT_SETTINGS_DIR /etc/systemd/system)
else()
  set(TAVRA_UNIT_SETTINGS_DIR ${CMAKE_INSTALL_PREFIX}/${TAVRA_UNITS_DIR})
endif()
set(TAVRA_CLEAN_UNIT_PATHS_DIR ${TAVRA_UNIT_SETTINGS_DIR}/tavra-clean.service.d)
