# SPDX-License-Identifier: GPL-3.0-or-later
# What the Linux tarball takes from the player's system rather than carrying it: the Debian
# packages of those libraries here, each with why it must come from the system. Every other
# library the program loads travels in the tarball. The bare system of the tarball's check is
# a minimal Debian with these packages alone (and a virtual display). Sourced by the scripts.
LINUX_SYSTEM_PACKAGES=(
    # The C library and its loader: one per system, matched to its kernel.
    libc6
    # The C++ runtime: the system's graphics driver links it too, and needs the newest one.
    libstdc++6 libgcc-s1
    # OpenGL and EGL: the vendor-neutral front ends of the graphics driver.
    libgl1 libegl1 libopengl0 libglx0 libglvnd0
    # X11: the client libraries of the display server, and the keyboard maps' reader, whose
    # data lies in the system.
    libx11-6 libx11-xcb1 libxcb1 libxcb-glx0 libxcb-randr0 libxcb-render0 libxcb-shape0
    libxcb-shm0 libxcb-sync1 libxcb-xfixes0 libxcb-xkb1 libsm6 libice6 libxkbcommon0
    libxkbcommon-x11-0
    # Wayland: the compositor's client libraries; the graphics driver links them too.
    libwayland-client0 libwayland-cursor0 libwayland-egl1
    # Fonts: fontconfig reads the system's own configuration and fonts, in its format, and
    # the font renderer and shaper it and the desktop load; zlib beneath them.
    libfontconfig1 libfreetype6 libharfbuzz0b libglib2.0-0 zlib1g
    # Sound: the PulseAudio client library talks to the system's sound server (PipeWire's
    # too), and D-Bus to the system's bus.
    libpulse0 libdbus-1-3
)
