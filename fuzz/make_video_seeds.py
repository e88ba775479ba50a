#!/usr/bin/env python3
"""Writes the seed corpus of quarvo_fuzz_video: tiny videos (16x16, a few frames, a few KB each) in
every container and of the common codecs the replaying cameras read, encoded by the ffmpeg command
(Debian package ffmpeg), which must be on the PATH:

    python3 fuzz/make_video_seeds.py fuzz/corpus-video

Between them they hold grey, colour and 16-bit frames, reordered (B-) frames with an MP4 edit
list, uneven frame durations and an audio stream beside the video one.
"""
import pathlib
import subprocess
import sys

SOURCE = ["-f", "lavfi", "-i", "testsrc2=size=16x16:rate=10"]
SILENCE = ["-f", "lavfi", "-i", "anullsrc=sample_rate=1000:channel_layout=mono"]
# Keeps the files small and free of what changes from one run to the next (the muxer's name and
# version, creation times); AVI files leave out the 4 KiB they would reserve for an index.
PLAIN = ["-map_metadata", "-1", "-fflags", "+bitexact", "-flags:v", "+bitexact"]
SMALL_AVI = ["-reserve_index_space", "1"]

SEEDS = {
    "ffv1-gray.mkv": SOURCE + ["-frames:v", "3", "-pix_fmt", "gray", "-c:v", "ffv1"],
    "ffv1-gray16-uneven.mkv": SOURCE + ["-frames:v", "4", "-vf", "setpts=N*N", "-fps_mode", "passthrough",
                                        "-pix_fmt", "gray16le", "-c:v", "ffv1"],
    "ffv1-rgb-audio.mkv": SOURCE + SILENCE + ["-frames:v", "3", "-t", "0.3", "-pix_fmt", "bgr0", "-c:v", "ffv1",
                                              "-c:a", "pcm_u8", "-shortest"],
    "h264-bframes.mp4": SOURCE + ["-frames:v", "6", "-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset",
                                  "ultrafast", "-bf", "2", "-x264-params", "b-adapt=0",
                                  "-bsf:v", "filter_units=remove_types=6"],
    "h264-audio.mp4": SOURCE + SILENCE + ["-frames:v", "3", "-t", "0.3", "-pix_fmt", "yuv444p", "-c:v", "libx264",
                                          "-preset", "ultrafast", "-bsf:v", "filter_units=remove_types=6",
                                          "-c:a", "aac", "-b:a", "8k", "-shortest"],
    "mjpeg.avi": SOURCE + ["-frames:v", "2", "-pix_fmt", "yuvj422p", "-c:v", "mjpeg", "-q:v", "20"] + SMALL_AVI,
    "rawvideo-gray.avi": SOURCE + ["-frames:v", "2", "-pix_fmt", "gray", "-c:v", "rawvideo"] + SMALL_AVI,
}


def main(folder):
    out = pathlib.Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    for name, arguments in SEEDS.items():
        subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"] + arguments + PLAIN + [str(out / name)],
                       check=True)


if __name__ == "__main__":
    main(sys.argv[1])
