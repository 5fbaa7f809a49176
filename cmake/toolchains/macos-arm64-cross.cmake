# Cross-compiles for arm64 macOS from Linux (see macos-cross.cmake).
set(KESTROVAN_CROSS_ARCH arm64)
include(${CMAKE_CURRENT_LIST_DIR}/macos-cross.cmake)
