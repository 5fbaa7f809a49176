# Cross-compiles for macOS from Linux with clang and ld64.lld against an
# unpacked macOS SDK named by the SDKROOT environment variable. Included by
# macos-arm64-cross.cmake and macos-x64-cross.cmake, which name the
# architecture in KESTROVAN_CROSS_ARCH (arm64 or x86_64).
if(NOT KESTROVAN_CROSS_ARCH MATCHES "^(arm64|x86_64)$")
  message(FATAL_ERROR "KESTROVAN_CROSS_ARCH must be arm64 or x86_64 (use macos-arm64-cross.cmake or macos-x64-cross.cmake)")
endif()
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR ${KESTROVAN_CROSS_ARCH})
set(CMAKE_OSX_ARCHITECTURES ${KESTROVAN_CROSS_ARCH})
set(CMAKE_OSX_DEPLOYMENT_TARGET 12.0)

if(NOT DEFINED ENV{SDKROOT} OR "$ENV{SDKROOT}" STREQUAL "")
  message(FATAL_ERROR "SDKROOT must name an unpacked macOS SDK")
endif()
set(CMAKE_OSX_SYSROOT $ENV{SDKROOT})
set(CMAKE_SYSROOT $ENV{SDKROOT})

find_program(KESTROVAN_CLANG NAMES clang clang-14 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
find_program(KESTROVAN_CLANGXX NAMES clang++ clang++-14 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(CMAKE_C_COMPILER ${KESTROVAN_CLANG})
set(CMAKE_CXX_COMPILER ${KESTROVAN_CLANGXX})
set(CMAKE_OBJCXX_COMPILER ${KESTROVAN_CLANGXX})
set(triple ${KESTROVAN_CROSS_ARCH}-apple-macos12)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_OBJCXX_COMPILER_TARGET ${triple})

set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
set(CMAKE_OBJCXX_FLAGS_INIT "-stdlib=libc++ -fobjc-arc")
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -stdlib=libc++")
endforeach()

set(CMAKE_FIND_ROOT_PATH $ENV{SDKROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Mach-O tools from LLVM (Debian installs some under versioned names).
find_program(CMAKE_INSTALL_NAME_TOOL NAMES install_name_tool llvm-install-name-tool llvm-install-name-tool-14 NO_CMAKE_FIND_ROOT_PATH)
find_program(CMAKE_AR NAMES llvm-ar llvm-ar-14 NO_CMAKE_FIND_ROOT_PATH)
find_program(CMAKE_RANLIB NAMES llvm-ranlib llvm-ranlib-14 NO_CMAKE_FIND_ROOT_PATH)
find_program(CMAKE_LIPO NAMES lipo llvm-lipo llvm-lipo-14 NO_CMAKE_FIND_ROOT_PATH)
