# SPDX-License-Identifier: MIT
# Installs the library for C++ users, all in the install component "dev" (the
# Debian package libkestrune-dev): the public headers in include/kestrune, the one
# archive libkestrune.a, the CMake package (find_package(Kestrune 1.0) gives
# Kestrune::kestrune; relocatable, it finds its files from its own place) and
# kestrune.pc for pkg-config.
include(CMakePackageConfigHelpers)
set(kestrune_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Kestrune)

install(TARGETS kestrune_library EXPORT KestruneTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT KestruneTargets NAMESPACE Kestrune:: DESTINATION ${kestrune_cmake_dir}
        COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KestruneConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/KestruneConfig.cmake
                              INSTALL_DESTINATION ${kestrune_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KestruneConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KestruneConfig.cmake
              ${PROJECT_BINARY_DIR}/KestruneConfigVersion.cmake
        DESTINATION ${kestrune_cmake_dir} COMPONENT dev)

# kestrune.pc names the prefix the files are installed under, which is known only
# when installing (cmake --install --prefix, CPack's /usr): it is written then, into
# a folder of its own for each destination, so that installs may run side by side.
# A staged install (DESTDIR) is read with PKG_CONFIG_SYSROOT_DIR=DESTDIR.
set(KESTRUNE_PREFIX "@KESTRUNE_PREFIX@")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kestrune.pc.in ${PROJECT_BINARY_DIR}/kestrune.pc.in @ONLY)
install(CODE "
    file(READ \"${PROJECT_BINARY_DIR}/kestrune.pc.in\" pc)
    string(REPLACE \"@KESTRUNE_PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" pc \"\${pc}\")
    string(MD5 destination \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    set(pc_dir \"${PROJECT_BINARY_DIR}/pkgconfig/\${destination}\")
    file(WRITE \"\${pc_dir}/kestrune.pc\" \"\${pc}\")
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\"
         TYPE FILE PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
         FILES \"\${pc_dir}/kestrune.pc\")"
    COMPONENT dev)
