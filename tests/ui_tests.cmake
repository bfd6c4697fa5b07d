# SPDX-License-Identifier: GPL-3.0-or-later
vmc_add_test(tst_windows SOURCES forms/tst_windows.cpp LIBRARIES ui)
vmc_add_test(tst_windowprotocol SOURCES ui/tst_windowprotocol.cpp LIBRARIES ui)
vmc_add_test(tst_platformlayer SOURCES ui/tst_platformlayer.cpp LIBRARIES ui)

vmc_add_test(tst_loudnesschoice SOURCES features/tst_loudnesschoice.cpp LIBRARIES ui)
vmc_add_test(tst_waveformview SOURCES features/tst_waveformview.cpp LIBRARIES ui)
# Pipes and devices as picks.
if(UNIX)
    vmc_add_test(tst_musicsets SOURCES features/tst_musicsets.cpp LIBRARIES ui)
endif()
# Fitting reads the picks through the audio module.
if(VMC_HAVE_AUDIO)
    vmc_add_test(tst_fitwindow SOURCES features/tst_fitwindow.cpp LIBRARIES ui)
endif()
