# Cross-build for Linux with Debian's cross compiler for G4_TRIPLET; what is
# built runs under the emulator that the including file names.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${G4_TRIPLET}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${G4_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
