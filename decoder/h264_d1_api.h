#pragma once

// The H.264 decoder module H264_D1.so: three C entries over a context of twelve 32-bit words
// that the client owns and hands to every call.
//
// Context words the client sets or reads:
//   word 4  non-zero while a decoder lives in the context (the module's handle); read only
//   word 5  1
//   word 6  output format: 0 planar YUV 4:2:0, 3 24-bit blue-green-red, 4 24-bit
//           blue-green-red as the software painter draws it
// Words the module itself uses:
//   word 7  decoding threads wanted (0 or 1: one thread; more: frame threads); a tuning knob
//           for benchmarks, the client leaves it 0
//   word 8, word 9  width and height of the last picture written
//   word 10 1: skip the deblocking (loop) filter of the frames from now on, 0: full decoding.
//           Read at every call; the client changes it only in front of a key frame, so that
//           a group of pictures is decoded one way throughout
// Every other word is reserved and left as the client set it.
//
// Picture layouts written into the caller's picture buffer (at most kH264PictureBufferSize
// bytes; a larger picture is refused):
//   format 0  luma plane width x height, then U, then V, each (width/2) x (height/2), rows
//             packed; for 480- and 576-line pictures each plane holds the first field (even
//             rows) in its upper half and the second field (odd rows) in its lower half
//   format 3  width x 3 bytes a row, blue-green-red, top row first; for 480- and 576-line
//             pictures the first field fills the upper half of the rows, the second the lower
//   format 4  width x 3 bytes a row, blue-green-red, bottom row first (as a bottom-up bitmap
//             is stored); for 480- and 576-line pictures only the second field is shown, each
//             of its rows i filling display rows 2i and 2i + 1. Format 3 reordered that way,
//             with half the colour conversion and no second pass over the picture

#include <cstdint>

inline constexpr int kH264ContextWords = 12;
inline constexpr int kH264WordDecoder = 4;
inline constexpr int kH264WordOne = 5;
inline constexpr int kH264WordFormat = 6;
inline constexpr int kH264WordThreads = 7;
inline constexpr int kH264WordWidth = 8;
inline constexpr int kH264WordHeight = 9;
inline constexpr int kH264WordSkipLoopFilter = 10;

inline constexpr std::uint32_t kH264FormatPlanar = 0;
inline constexpr std::uint32_t kH264FormatBgr = 3;
inline constexpr std::uint32_t kH264FormatBgrBottomUp = 4;

// 720 x 576 x 3: the picture buffer of one channel.
inline constexpr std::uint32_t kH264PictureBufferSize = 1244160;

// Results of PT_H264dec_GetOneFrame.
inline constexpr int kH264Picture = 0;    // a picture was written
inline constexpr int kH264CallAgain = 1;  // call again at once with the same arguments
inline constexpr int kH264NoPicture = 2;  // the frame was taken, no picture yet (also 3, 4)
inline constexpr int kH264PictureAlt = 5; // a picture was written
inline constexpr int kH264Rebuild = -5;   // uninit, init, and decode the same frame again
inline constexpr int kH264BadFrame = -1;  // the frame is dropped (also every other value)
inline constexpr int kH264TooLarge = -2;  // the picture does not fit the picture buffer
inline constexpr int kH264NoDecoder = -3; // the context holds no decoder

// Entry points. `context` points to kH264ContextWords words.
using PT_H264dec_Init_t = int (*)(std::uint32_t* context);
using PT_H264dec_GetOneFrame_t = int (*)(std::uint32_t* context, const std::uint8_t* video,
                                         int videoLength, std::uint8_t* picture);
using PT_H264dec_Uninit_t = int (*)(std::uint32_t* context);

inline constexpr const char* kH264InitName = "PT_H264dec_Init";
inline constexpr const char* kH264GetOneFrameName = "PT_H264dec_GetOneFrame";
inline constexpr const char* kH264UninitName = "PT_H264dec_Uninit";
