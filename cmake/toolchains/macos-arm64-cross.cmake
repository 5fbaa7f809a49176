# Cross-compiles for arm64 macOS from Linux with clang and ld64.lld against an
# unpacked macOS SDK named by the SDKROOT environment variable.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_OSX_ARCHITECTURES arm64)
set(CMAKE_OSX_DEPLOYMENT_TARGET 12.0)

if(NOT DEFINED ENV{SDKROOT} OR "$ENV{SDKROOT}" STREQUAL "")
  message(FATAL_ERROR "SDKROOT must name an unpacked macOS SDK")
endif()
set(CMAKE_OSX_SYSROOT $ENV{SDKROOT})
set(CMAKE_SYSROOT $ENV{SDKROOT})

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_OBJCXX_COMPILER clang++)
set(triple arm64-apple-macos12)
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
