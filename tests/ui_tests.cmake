# SPDX-License-Identifier: GPL-3.0-or-later
vmc_add_test(tst_windows SOURCES forms/tst_windows.cpp LIBRARIES ui)
vmc_add_test(tst_windowprotocol SOURCES ui/tst_windowprotocol.cpp LIBRARIES ui)
vmc_add_test(tst_platformlayer SOURCES ui/tst_platformlayer.cpp LIBRARIES ui)

# Each feature beside the main window, under its own name.
foreach(test tst_changecommand tst_loudnesschoice tst_musicsets tst_restorecommand tst_runmessage
        tst_settingsstore tst_slotmenu tst_virtualstoreoffer tst_waveformview tst_lastpicks)
    vmc_add_test(${test} SOURCES features/${test}.cpp LIBRARIES ui)
endforeach()
# Fitting reads the picks through the audio module.
if(VMC_HAVE_AUDIO)
    vmc_add_test(tst_fitwindow SOURCES features/tst_fitwindow.cpp LIBRARIES ui)
endif()
