# SPDX-License-Identifier: GPL-3.0-or-later
vmc_add_test(tst_windows SOURCES tst_windows.cpp LIBRARIES ui)
# Under the address sanitizer, its leak check's tracer crashes at this suite's exit after
# every test has passed; the sanitizer's other checks stay on.
if(CMAKE_CXX_FLAGS MATCHES "sanitize=address")
    set_property(TEST tst_windows APPEND PROPERTY ENVIRONMENT
                 "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1")
endif()
vmc_add_test(tst_windowprotocol SOURCES tst_windowprotocol.cpp LIBRARIES ui)
vmc_add_test(tst_platformlayer SOURCES tst_platformlayer.cpp LIBRARIES ui)

vmc_add_test(tst_loudnesschoice SOURCES tst_loudnesschoice.cpp LIBRARIES ui)
# Pipes and devices as picks.
if(UNIX)
    vmc_add_test(tst_musicsets SOURCES tst_musicsets.cpp LIBRARIES ui)
endif()
