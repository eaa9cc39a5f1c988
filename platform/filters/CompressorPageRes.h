// Resource identifiers of the compressor property pages.
#pragma once

#define IDD_VIDEO_PAGE 100
#define IDD_AUDIO_PAGE 101
#define IDD_ABOUT_PAGE 102

#define IDC_CODEC_TEXT 1000
#define IDC_MODE_BITRATE 1001
#define IDC_BITRATE 1002
#define IDC_MODE_QUALITY 1003
#define IDC_QUALITY 1004
#define IDC_KEYINTERVAL 1005
#define IDC_AUDIO_BITRATE 1010
#define IDC_SAMPLERATE 1011
#define IDC_ABOUT_TEXT 1020
