# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds for 64-bit Windows with MinGW-w64 (posix threads), running test programs
# under Wine.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-compilers.cmake)

# Self-contained programs: nothing to copy beside them for Wine to find.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# A cross-built Qt (scripts/build-qt-mingw.sh, given as CMAKE_PREFIX_PATH) runs the
# installed Qt's host tools: moc, rcc, uic.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
