# 64-bit ARM (Raspberry Pi 4 and 5, ARM servers and laptops), run under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(G4_TRIPLET aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${G4_TRIPLET})
include(${CMAKE_CURRENT_LIST_DIR}/linux-croise.cmake)
