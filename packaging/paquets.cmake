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
  # The .deb takes the system's C library, as Debian wants; the static
  # .tar.gz runs on any Linux of its processor:
  # g4crypt-VERSION-Linux-x86_64, -aarch64, -armv7l.
  if(G4_STATIQUE)
    set(CPACK_GENERATOR TGZ)
  else()
    set(CPACK_GENERATOR DEB)
  endif()
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
endif()
# The sample matrix with a sample file to encrypt beside it.
install(FILES README.md exemple/g4.txt exemple/lettre.txt DESTINATION ${G4_DOC})
# The French guide: for Notepad in the ZIP, compressed in the .deb as
# Debian wants for its size, as it stands in the .tar.gz.
if(WIN32)
  set(lisezmoi ${CMAKE_CURRENT_BINARY_DIR}/LISEZMOI.txt)
  add_custom_command(OUTPUT ${lisezmoi}
    COMMAND ${CMAKE_COMMAND} -DENTREE=${CMAKE_CURRENT_SOURCE_DIR}/LISEZMOI.txt -DSORTIE=${lisezmoi}
            -P ${CMAKE_CURRENT_LIST_DIR}/lisezmoi.cmake
    DEPENDS LISEZMOI.txt ${CMAKE_CURRENT_LIST_DIR}/lisezmoi.cmake VERBATIM)
  add_custom_target(lisezmoi ALL DEPENDS ${lisezmoi})
  install(FILES ${lisezmoi} DESTINATION ${G4_DOC})
elseif(G4_STATIQUE)
  install(FILES LISEZMOI.txt DESTINATION ${G4_DOC})
endif()
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
  set(sources doc/g4crypt.1 doc/g4crypt.fr.1 packaging/changelog)
  if(NOT G4_STATIQUE)
    list(APPEND sources LISEZMOI.txt)
  endif()
  foreach(source ${sources})
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
  if(NOT G4_STATIQUE)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/gz/LISEZMOI.txt.gz DESTINATION ${G4_DOC})
  endif()
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
set(CPACK_STRIP_FILES ON)

# Debian's architecture names for the processors built for.
set(architectures x86_64 amd64 aarch64 arm64 armv7l armhf i686 i386)
list(FIND architectures "${CMAKE_SYSTEM_PROCESSOR}" i)
if(i GREATER_EQUAL 0)
  math(EXPR i "${i} + 1")
  list(GET architectures ${i} CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
endif()

# Archive dates: SOURCE_DATE_EPOCH when it is set, otherwise the date of the
# changelog's first entry, as Debian's tools take it, so that two builds of
# one commit give the same files.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog signature REGEX "^ -- " LIMIT_COUNT 1)
if(NOT signature MATCHES ", ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ([0-9]+):([0-9]+):([0-9]+) ([-+])([0-9][0-9])([0-9][0-9])$")
  message(FATAL_ERROR "packaging/changelog: no date in '${signature}'")
endif()
set(jour ${CMAKE_MATCH_1})
set(noms Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND noms ${CMAKE_MATCH_2} mois)
math(EXPR mois "${mois} + 1")
set(an ${CMAKE_MATCH_3})
math(EXPR decalage "${CMAKE_MATCH_7}(${CMAKE_MATCH_8} * 3600 + ${CMAKE_MATCH_9} * 60)")
math(EXPR secondes "${CMAKE_MATCH_4} * 3600 + ${CMAKE_MATCH_5} * 60 + ${CMAKE_MATCH_6} - ${decalage}")
# Days since 1970-01-01 of a date of the Gregorian calendar, years counted
# from March so that the leap day comes last.
if(mois LESS_EQUAL 2)
  math(EXPR an "${an} - 1")
  math(EXPR mois "${mois} + 9")
else()
  math(EXPR mois "${mois} - 3")
endif()
math(EXPR jours "${an} * 365 + ${an} / 4 - ${an} / 100 + ${an} / 400 + (153 * ${mois} + 2) / 5 + ${jour} - 1 - 719468")
math(EXPR G4_SOURCE_DATE_EPOCH "${jours} * 86400 + ${secondes}")

# Read when cpack runs, after the build. Debian has the licence in its
# copyright file: the .deb leaves LICENSE out.
set(config "if(CPACK_GENERATOR STREQUAL DEB)
  set(CPACK_INSTALL_CMAKE_PROJECTS \"${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/\")
endif()
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${G4_SOURCE_DATE_EPOCH})
endif()
")
if(CMAKE_CROSSCOMPILING AND NOT WIN32)
  # dpkg-shlibdeps knows only the host's libraries. The program needs the C
  # library alone (the release check makes sure), at the newest symbol
  # version it links to.
  string(APPEND config "if(CPACK_GENERATOR STREQUAL DEB)
execute_process(COMMAND ${CMAKE_READELF} -V --wide $<TARGET_FILE:g4crypt>
  OUTPUT_VARIABLE besoins COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL \"GLIBC_[0-9.]+\" versions \"\${besoins}\")
set(plusRecente 0)
foreach(v IN LISTS versions)
  string(SUBSTRING \${v} 6 -1 v)
  if(v VERSION_GREATER plusRecente)
    set(plusRecente \${v})
  endif()
endforeach()
set(CPACK_DEBIAN_PACKAGE_DEPENDS \"libc6 (>= \${plusRecente})\")
endif()
")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/paquet.cmake)
file(GENERATE OUTPUT ${CPACK_PROJECT_CONFIG_FILE} CONTENT "${config}")
include(CPack)
