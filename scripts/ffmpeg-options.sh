# SPDX-License-Identifier: GPL-3.0-or-later
# The FFmpeg the program needs, for the Windows build and the Linux tarball alike: the
# demuxers, parsers and decoders of the formats it reads, and the resampler; no encoder (LAME
# writes the MP3s), no device, filter, network or program. Sourced by the build scripts.
FFMPEG_SLIM_OPTIONS=(--disable-autodetect --disable-everything
    --disable-programs --disable-doc --disable-network --disable-avdevice --disable-avfilter
    --disable-swscale --disable-postproc --disable-hwaccels --disable-encoders --disable-muxers
    --disable-protocols --disable-debug --enable-swresample
    --enable-demuxer=mp3,flac,ogg,mov,wav,aiff,asf,matroska
    --enable-parser=mpegaudio,flac,vorbis,opus,aac
    --enable-decoder=mp3,mp3float,flac,vorbis,opus,aac,alac,wmav1,wmav2,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_s32be,pcm_f32le,pcm_f32be,pcm_u8,pcm_s8)
