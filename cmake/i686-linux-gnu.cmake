# 32-bit x86. It runs natively on x86-64 through its own loader, and so
# meets a 32-bit program's real limits, which an emulator would hide; under
# qemu-i386 where the kernel runs no 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(G4_TRIPLET i686-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/i386.sh)
include(${CMAKE_CURRENT_LIST_DIR}/linux-croise.cmake)
