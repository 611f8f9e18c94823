# What the packages hold and how they are made: a ZIP on Windows, a .deb
# and a .tar.gz elsewhere.
# Windows users unzip one folder: the program beside its README and a
# matrix to start from. Elsewhere the usual tree under the prefix.
include(GNUInstallDirs)
if(WIN32)
  set(G4_DOC .)
  install(TARGETS g4crypt RUNTIME DESTINATION .)
  set(CPACK_GENERATOR ZIP)
else()
  set(G4_DOC ${CMAKE_INSTALL_DOCDIR})
  install(TARGETS g4crypt RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(CPACK_GENERATOR DEB TGZ)
  # One .tar.gz per processor: g4crypt-VERSION-Linux-x86_64, -aarch64.
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
endif()
install(FILES README.md exemple/g4.txt DESTINATION ${G4_DOC})
install(FILES LICENSE DESTINATION ${G4_DOC} COMPONENT licence)
if(NOT WIN32)
  # Debian's layout: the licence as a machine-readable copyright file, the
  # changelog and the manual pages compressed, without a time stamp.
  file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog entete LIMIT_COUNT 1)
  string(REPLACE "." "\\." version "${PROJECT_VERSION}")
  if(NOT entete MATCHES "^g4crypt \\(${version}\\) ")
    message(FATAL_ERROR "packaging/changelog starts with '${entete}', not with version ${PROJECT_VERSION}")
  endif()
  find_program(G4_GZIP gzip REQUIRED)
  set(compresses)
  foreach(source doc/g4crypt.1 doc/g4crypt.fr.1 packaging/changelog)
    get_filename_component(nom ${source} NAME)
    set(copie ${CMAKE_CURRENT_BINARY_DIR}/gz/${nom})
    add_custom_command(OUTPUT ${copie}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${copie}
      COMMAND ${G4_GZIP} -9nf ${copie}
      DEPENDS ${source} VERBATIM)
    list(APPEND compresses ${copie}.gz)
  endforeach()
  add_custom_target(compresses ALL DEPENDS ${compresses})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gz/g4crypt.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gz/g4crypt.fr.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/fr/man1
          RENAME g4crypt.1.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gz/changelog.gz ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${G4_DOC})
endif()
set(CPACK_PACKAGE_DESCRIPTION "An interactive console program, in French, that encrypts a file with a
binary generator matrix (4 rows of 8 binary digits, read from a text file)
and decrypts it back. Each byte is split into its two 4-bit halves; each
half is multiplied by the matrix over GF(2), giving one code byte, so the
encrypted file is twice as long as its source. Decryption rebuilds each
half from the matrix's four identity columns.")
set(CPACK_PACKAGE_CONTACT "g4crypt authors <maintainers@g4crypt.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL aarch64)
  # dpkg-shlibdeps knows only the host's libraries. The program needs the C
  # library alone (the arm64 check makes sure), at the version it was built
  # against.
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34)")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
set(CPACK_STRIP_FILES ON)
# Debian has the licence in its copyright file: the .deb leaves LICENSE out.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/paquet.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "if(CPACK_GENERATOR STREQUAL DEB)
  set(CPACK_INSTALL_CMAKE_PROJECTS \"${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/\")
endif()
")
include(CPack)
