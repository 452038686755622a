# What `cmake --install` puts in place for other programs: the engine and
# shape-file libraries, their headers under include/carvex/, a CMake package
# (find_package(Carvex) gives Carvex::engine and Carvex::shapeio) and a
# pkg-config file.
#
# The headers include one another by their folder ("geometry/shape.h",
# "shapeio/svgio.h"), so include/carvex is on the consumer's path; include/
# is too, so that a consumer's own includes name the project
# (<carvex/region/region.h>) and cannot be mistaken for another library's.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(CARVEX_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Carvex)

set_target_properties(carvex_region PROPERTIES EXPORT_NAME region)
set_target_properties(carvex_engine PROPERTIES EXPORT_NAME engine)
set_target_properties(carvex_shapeio PROPERTIES EXPORT_NAME shapeio)
target_include_directories(carvex_engine INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS carvex_region carvex_engine carvex_shapeio EXPORT CarvexTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS carvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY engine/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/carvex
        FILES_MATCHING PATTERN "*.h")
install(DIRECTORY shapeio/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/carvex/shapeio
        FILES_MATCHING PATTERN "*.h")

install(EXPORT CarvexTargets NAMESPACE Carvex:: DESTINATION ${CARVEX_INSTALL_CMAKEDIR})
configure_package_config_file(cmake/CarvexConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/CarvexConfig.cmake
                              INSTALL_DESTINATION ${CARVEX_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/CarvexConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/CarvexConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/CarvexConfigVersion.cmake
        DESTINATION ${CARVEX_INSTALL_CMAKEDIR})

# pkg-config paths are written relative to the prefix the file is found in,
# so that the file is right for the prefix given to `cmake --install` and
# an installed tree still works after it is moved.
file(RELATIVE_PATH CARVEX_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(cmake/carvex.pc.in ${CMAKE_CURRENT_BINARY_DIR}/carvex.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/carvex.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The consumer example built against an install of this build. Sanitizer
# builds are left out: their libraries need the sanitizer runtime linked into
# every consumer.
if(CARVEX_BUILD_TESTS AND NOT CARVEX_SANITIZE)
  add_test(NAME install_consumer
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/consumer.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(install_consumer PROPERTIES TIMEOUT 300)
endif()
