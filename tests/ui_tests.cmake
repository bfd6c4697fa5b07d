# SPDX-License-Identifier: GPL-3.0-or-later
vmc_add_test(tst_windows SOURCES tst_windows.cpp LIBRARIES ui)
vmc_add_test(tst_windowprotocol SOURCES tst_windowprotocol.cpp LIBRARIES ui)
vmc_add_test(tst_platformlayer SOURCES tst_platformlayer.cpp LIBRARIES ui)

# The windows read picks through the audio module, found beside the tests.
target_compile_definitions(tst_windows PRIVATE
    VMC_AUDIO_FIXTURES="${CMAKE_CURRENT_SOURCE_DIR}/fixtures/audio")
if(TARGET vmc-audio)
    add_dependencies(tst_windows vmc-audio)
endif()
