# Where `make install` and the Debian package put the program and its files.
include(GNUInstallDirs)

# Installing and packaging take what is built and build nothing themselves:
# the package test runs cpack in a tree other tests are using.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(KOVA_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(KOVA_ASSETS_DIR ${CMAKE_INSTALL_DATADIR}/kova)

# The program finds share/kova from its own folder, whatever the prefix.
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_DATADIR}")
  file(RELATIVE_PATH KOVA_ASSETS_FROM_BINARY ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_FULL_DATADIR}/kova)
else()
  file(RELATIVE_PATH KOVA_ASSETS_FROM_BINARY /prefix/${CMAKE_INSTALL_BINDIR}
       /prefix/${KOVA_ASSETS_DIR})
endif()
target_compile_definitions(kova_config PRIVATE KOVA_ASSETS_FROM_BINARY="${KOVA_ASSETS_FROM_BINARY}")

# Debian wants the manual page and the changelog compressed the same way on
# every build: no name or time stamp in the gzip header.
function(kova_gzip source name result)
  set(output ${PROJECT_BINARY_DIR}/packaging/${name})
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
  execute_process(COMMAND gzip -n -9 -c ${source} OUTPUT_FILE ${output}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  set(${result} ${output} PARENT_SCOPE)
endfunction()
kova_gzip(${KOVA_PACKAGING}/kova.1 kova.1.gz KOVA_MANUAL)
kova_gzip(${KOVA_PACKAGING}/changelog changelog.gz KOVA_CHANGELOG)

# The whole offset table read-only from the start (the compiler already links
# position-independent with relro); only the program's own link changes.
target_link_options(kova PRIVATE LINKER:-z,now)

install(TARGETS kova RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/assets/ DESTINATION ${KOVA_ASSETS_DIR}
        PATTERN .keep EXCLUDE)
install(FILES ${KOVA_PACKAGING}/kova.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KOVA_PACKAGING}/org.example.kova.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${KOVA_PACKAGING}/icons/${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kova.png)
endforeach()
install(FILES ${KOVA_MANUAL} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KOVA_PACKAGING}/copyright ${KOVA_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
