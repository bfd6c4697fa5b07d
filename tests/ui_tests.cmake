# SPDX-License-Identifier: GPL-3.0-or-later
vmc_add_test(tst_windows SOURCES tst_windows.cpp LIBRARIES ui)
vmc_add_test(tst_windowprotocol SOURCES tst_windowprotocol.cpp LIBRARIES ui)
vmc_add_test(tst_platformlayer SOURCES tst_platformlayer.cpp LIBRARIES ui)

vmc_add_test(tst_loudnesschoice SOURCES tst_loudnesschoice.cpp LIBRARIES ui)
# Pipes and devices as picks.
if(UNIX)
    vmc_add_test(tst_musicsets SOURCES tst_musicsets.cpp LIBRARIES ui)
endif()
