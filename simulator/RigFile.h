// Rig files: a TOML description of the boards and cameras the component simulates.
//
//   [[board]]                     # up to 16 boards
//   id = "Board0"                 # default BoardN, N counting boards from 0
//   display_name = "Left board"   # default "Quibbon frame grabber N"
//
//   [[board.camera]]              # up to 16 cameras a board
//   id = "Cam00"                  # default CamBC (board and camera index)
//   vendor = "Brondix"            # default Brondix
//   model = "QC-640M"             # default QC-<width> and M (grey), B (Bayer) or C (colour)
//   serial = "BX7Q0000"           # default BX7Q and board and camera index, two digits each
//   user_name = "Center"          # default Center
//   width = 640                   # 8 to 4096, a multiple of 4; default 640, or the images' width
//   height = 480                  # the same; default 480, or the images' height
//   pixel_format = "Mono8"        # a pixel format name (PixelFormats.h); default Mono8
//   frame_rate = 60               # frames per second, 0 = as fast as grabs come; default 60; "source":
//                                 # a video's own frame times
//   pattern = "moving-ramp"       # moving-ramp | still-ramp | checkerboard | colour-bars | images;
//                                 # default images when images is given, else moving-ramp
//   images = "folder"             # image files replayed in name order; relative to the rig file
//   video = "line.mp4"            # or a video file (MP4, Matroska, AVI) replayed frame by frame
//   loop = true                   # replay starts again after the last image or frame; false: a
//                                 # grab session gets no frame after it; default true
//   profile = "basic"             # basic (numbered parameters, the producer's description) or sfnc
//                                 # (the camera's own registers and SFNC document; width and height
//                                 # are the sensor's, the pattern or images its scene)
//
//   user_set_default = "UserSet1" # sfnc: the set the camera starts from and DeviceReset restores:
//                                 # Default or a set given below; default Default
//
//   [board.camera.user_set.UserSet1]  # sfnc: saved user sets UserSet1 to UserSet3, each the Default
//   Width = 32                    # set with these SFNC features written in file order (a selector
//   PixelFormat = "Mono8"         # before what it selects): numbers, true or false, or enumeration
//   ReverseX = true               # entry names; values the camera refuses fail the file
//
//   [board.camera.faults]         # all 0 (off) by default; see the fault parameters in Quibbon.h
//   drop_every = 0
//   incomplete_every = 0
//   fail_every = 0
//   timeout_every = 0
//   delay_ms = 0
//
// Texts are 1 to 511 bytes of UTF-8 without control characters. Board identifiers are unique in
// the rig, camera identifiers on their board. The images of a folder share one size, which is the
// camera's; a width or height given as well must match it. Cameras that name the same folder
// share its images; the images of all folders take at most 4 GiB decoded (2 bytes a sample). A
// video's size is the camera's in the same way; its frames are decoded while they are shown.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "simulator/Rig.h"

namespace Quibbon::Sim {

// A rig file that cannot be used. The text is "<file>:<line>: <problem>", or "<file>: <problem>"
// when no line is to blame, with the file named as given.
class RigFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The rig the file describes, made whole or not at all: throws RigFileError for an unreadable or
// malformed file, an unknown key or value, a value out of range or of the wrong type, or images
// that cannot be replayed.
std::shared_ptr<const Rig> LoadRigFile(const std::string& path);

// The rig that text describes, read as if it were the contents of the file at path: messages name
// path, and images folders are relative to its folder. Throws as LoadRigFile.
std::shared_ptr<const Rig> ReadRigText(const std::string& text, const std::string& path);

}  // namespace Quibbon::Sim
