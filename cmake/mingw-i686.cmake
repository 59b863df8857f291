# Cross-compiles the 32-bit Windows build, the installer that ships by default.
set(VAQ_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
