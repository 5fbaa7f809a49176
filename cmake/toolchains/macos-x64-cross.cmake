# Cross-compiles for x86_64 (Intel) macOS from Linux (see macos-cross.cmake).
set(KESTROVAN_CROSS_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/macos-cross.cmake)
