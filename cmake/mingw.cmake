# The Windows build of one flavour, named by VAQ_MINGW_TRIPLET before this file is included:
# MinGW-w64 with the posix thread model (for std::thread and the C++ runtime's mutexes), its
# programs run under Wine. Every tool that is named for the flavour takes its name from here.
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${VAQ_MINGW_TRIPLET})
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VAQ_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VAQ_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VAQ_MINGW_TRIPLET}-windres)
set(VAQ_DLLTOOL ${VAQ_MINGW_TRIPLET}-dlltool)
set(VAQ_OBJDUMP ${VAQ_MINGW_TRIPLET}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${VAQ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
