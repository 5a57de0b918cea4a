# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix thread model: std::thread
# and std::mutex as the program uses them) against Qt for MinGW, tests run under Wine.
#
# LIR2_WIN_QT: the prefix of Qt for MinGW (a cache variable or the environment's).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_triplet}-windres)
set(CMAKE_AR /usr/bin/${_triplet}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${_triplet}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP /usr/bin/${_triplet}-objdump CACHE FILEPATH "")
set(CMAKE_STRIP /usr/bin/${_triplet}-strip CACHE FILEPATH "")

if(NOT LIR2_WIN_QT AND DEFINED ENV{LIR2_WIN_QT})
  set(LIR2_WIN_QT $ENV{LIR2_WIN_QT})
endif()
# try_compile projects read this file again without the cache: hand the prefix on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LIR2_WIN_QT LIR2_BUILDING_QT)

set(CMAKE_FIND_ROOT_PATH /usr/${_triplet} ${LIR2_WIN_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# moc and the other generators come from Debian's Qt of the same version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# Test programs (and their listing for CTest) run through Wine with the Qt and MinGW DLLs found.
# Not while Qt itself is built (build-qt.sh): its configuration has nothing to run.
if(NOT LIR2_BUILDING_QT)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
