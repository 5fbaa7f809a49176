# The settings every build of the two deliverables shares: the repository's
# top-level project (tests and all) and each package's own source build, where
# the addon or the sidecar folder is the whole project.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
include(KestrovanWarnings)

# Which backend the two deliverables run on: "macos" (AppKit) or "linux"
# (the simulated desktop for the addon, X11 for the sidecar).
if(APPLE)
  set(KESTROVAN_PLATFORM macos)
  enable_language(OBJCXX)
else()
  set(KESTROVAN_PLATFORM linux)
endif()
message(STATUS "kestrovan platform backend: ${KESTROVAN_PLATFORM}")
