# What `cmake --install` puts in place: the engine library, its public headers, the corpora
# with their licence, a CMake package (find_package(tonalweaver) -> tonalweaver::engine and
# tonalweaver_CORPUS_DIR) and a pkg-config file (variable corpusdir). Every path in the package
# files is relative to where they are found, so an installed tree may be moved.
include(CMakePackageConfigHelpers)
set(TONALWEAVER_INSTALL_CORPUSDIR ${CMAKE_INSTALL_DATADIR}/tonalweaver)
set(TONALWEAVER_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/tonalweaver)
install(TARGETS tonalweaver_engine EXPORT tonalweaverTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/tonalweaver DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/pc.bin ${CMAKE_SOURCE_DIR}/data/cc.bin
  ${CMAKE_SOURCE_DIR}/data/LICENSE-corpus DESTINATION ${TONALWEAVER_INSTALL_CORPUSDIR})
install(EXPORT tonalweaverTargets NAMESPACE tonalweaver:: DESTINATION ${TONALWEAVER_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/tonalweaverConfig.cmake.in
  ${CMAKE_BINARY_DIR}/cmake-package/tonalweaverConfig.cmake
  INSTALL_DESTINATION ${TONALWEAVER_INSTALL_CMAKEDIR}
  PATH_VARS TONALWEAVER_INSTALL_CORPUSDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/cmake-package/tonalweaverConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/cmake-package/tonalweaverConfig.cmake
  ${CMAKE_BINARY_DIR}/cmake-package/tonalweaverConfigVersion.cmake
  DESTINATION ${TONALWEAVER_INSTALL_CMAKEDIR})
# pkg-config finds the prefix from the folder of the .pc file itself.
file(RELATIVE_PATH pc_prefix_from_pcfiledir "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" pc_prefix_from_pcfiledir "${pc_prefix_from_pcfiledir}")
set(TONALWEAVER_PC_PREFIX "\${pcfiledir}/${pc_prefix_from_pcfiledir}")
foreach(dir INCLUDEDIR LIBDIR CORPUSDIR)
  if(dir STREQUAL "CORPUSDIR")
    set(install_dir ${TONALWEAVER_INSTALL_CORPUSDIR})
  else()
    set(install_dir ${CMAKE_INSTALL_${dir}})
  endif()
  if(IS_ABSOLUTE "${install_dir}")
    set(TONALWEAVER_PC_${dir} "${install_dir}")  # chosen absolute: not relocatable
    set(TONALWEAVER_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  else()
    set(TONALWEAVER_PC_${dir} "\${prefix}/${install_dir}")
  endif()
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/cmake/tonalweaver.pc.in ${CMAKE_BINARY_DIR}/cmake-package/tonalweaver.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/cmake-package/tonalweaver.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
