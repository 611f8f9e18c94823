# 32-bit ARM with hardware floating point (ARMv7: Raspberry Pi 2 and later
# on a 32-bit system), run under qemu-user.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(G4_TRIPLET arm-linux-gnueabihf)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/${G4_TRIPLET})
include(${CMAKE_CURRENT_LIST_DIR}/linux-croise.cmake)
