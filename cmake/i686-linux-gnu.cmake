# 32-bit x86. It runs natively on x86-64 through its own loader, and so
# meets a 32-bit program's real limits, which an emulator would hide.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(G4_TRIPLET i686-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/${G4_TRIPLET}/lib/ld-linux.so.2 --library-path /usr/${G4_TRIPLET}/lib)
include(${CMAKE_CURRENT_LIST_DIR}/linux-croise.cmake)
